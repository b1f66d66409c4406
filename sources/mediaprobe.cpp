#include "sources/mediaprobe.h"

#include "base/apppaths.h"
#include "base/textvalues.h"
#include "process/commandline.h"
#include "process/toolpaths.h"
#include "process/toolprocess.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <csignal>
#include <functional>
#include <memory>
#include <optional>
#include <unistd.h>
#include <utility>
#include <vector>

namespace clipvane {
namespace {

// Splits a tool's output into lines as it arrives (CR or LF ends one, as parseIdentifyOutput
// reads them) and hands each line on. Keeps only the line being read, cut at kMaxLine: a
// flood of output costs no memory.
class LineSplitter {
public:
    using Handler = std::function<void(QStringView)>;
    explicit LineSplitter(Handler onLine) : m_onLine(std::move(onLine)) {}

    void add(QStringView piece) {
        while (!piece.isEmpty()) {
            qsizetype end = piece.indexOf(QLatin1Char('\n'));
            const qsizetype cr = (end < 0 ? piece : piece.first(end)).indexOf(QLatin1Char('\r'));
            if (cr >= 0)
                end = cr;
            const QStringView text = end < 0 ? piece : piece.first(end);
            m_line += text.first(std::min(text.size(), kMaxLine - m_line.size()));
            if (end < 0)
                return;
            m_onLine(m_line);
            m_line.clear();
            piece = piece.sliced(end + 1);
        }
    }
    // Hands on an unfinished last line.
    void finish() {
        if (!m_line.isEmpty())
            m_onLine(m_line);
        m_line.clear();
    }

private:
    static constexpr qsizetype kMaxLine = 4096;
    Handler m_onLine;
    QString m_line;
};

QString lastLine(const QString& output) {
    static const QRegularExpression lineEnd(QStringLiteral("[\r\n]+"));
    const QStringList lines = output.trimmed().split(lineEnd);
    return lines.isEmpty() ? QString() : lines.last().trimmed();
}

// Why a path cannot be a video file at all, or nothing when it may be one.
QString fileProblem(const QString& path) {
    const QFileInfo info(path);
    if (nameNotUtf8(path))
        return QLatin1String(kNotUtf8Note);
    if (!info.exists())
        return QCoreApplication::translate(
            "MediaProbe", "Clipvane cannot find this file: it may have been moved, renamed or "
                          "deleted.");
    if (info.isDir())
        return QCoreApplication::translate("MediaProbe", "This is a folder, not a video file.");
    // Only a regular file is opened here: opening a pipe would wait for a writer.
    if (!info.isFile())
        return {};
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QCoreApplication::translate("MediaProbe", "Clipvane cannot read this file (%1).")
            .arg(file.errorString());
    if (file.size() == 0)
        return QCoreApplication::translate("MediaProbe", "This file is empty (0 bytes).");
    return {};
}

// A line break in a name would let the name pass for a line of the tools' output, and a
// leading dash for an option.
bool needsSafeName(const QString& path) {
    for (const QChar c : path) {
        const QChar::Category category = c.category();
        if (category == QChar::Other_Control || category == QChar::Separator_Line ||
            category == QChar::Separator_Paragraph)
            return true;
    }
    return path.startsWith(QLatin1Char('-'));
}

// A plain name for the file in a private folder; empty when none could be made.
QString safeLink(const QString& path, QTemporaryDir& folder) {
    if (!folder.isValid())
        return {};
    // Keep a plain ending: some formats are known by it.
    static const QRegularExpression plainSuffix(QStringLiteral("^[A-Za-z0-9]{1,8}$"));
    const QString suffix = QFileInfo(path).suffix();
    QString link = folder.filePath(QStringLiteral("input"));
    if (plainSuffix.match(suffix).hasMatch())
        link += QLatin1Char('.') + suffix;
    if (!QFile::link(QFileInfo(path).absoluteFilePath(), link))
        return {};
    return link;
}

struct ProbeOutcome {
    IdentifyResult identify;
    double seconds = 0; // the exact length that decided End
    QString note;       // why the file cannot be converted, or empty
};

// One tool of a probe: its ToolProcess, its output read line by line as it arrives, and the
// end of its output (the number or the complaint the probe reads at the end).
class ProbeTool {
public:
    using Ended = std::function<void(const ToolExit& exit, const QString& tail)>;

    ProbeTool(const QString& commandLine, int timeLimitMs, LineSplitter::Handler onLine,
              Ended ended)
        : m_lines(onLine ? std::move(onLine) : [](QStringView) {}),
          m_decoder(QStringDecoder::Utf8) {
        QObject::connect(&m_tool, &ToolProcess::outputRead, [this](const QByteArray& bytes) {
            m_lines.add(QString(m_decoder.decode(bytes)));
        });
        QObject::connect(&m_tool, &ToolProcess::finished, [this, ended](const ToolExit& exit) {
            m_lines.finish();
            ended(exit, QString::fromUtf8(m_tool.output()));
        });
        ToolProcess::Options options;
        options.standardOutput = ToolProcess::Channel::Keep;
        options.standardError = ToolProcess::Channel::Merge;
        options.keepBytes = 128 * 1024;
        // Closing the window ends the program at once; the tool and its children end too.
        options.deathSignal = SIGKILL;
        options.endsAtQuickExit = true;
        options.timeLimitMs = timeLimitMs;
        if (!m_tool.start(commandLine, options)) {
            // Reported from the event loop, as every other end is.
            QTimer::singleShot(0, &m_tool, [ended] {
                ToolExit exit;
                exit.started = false;
                ended(exit, QString());
            });
        }
    }
    void kill() { m_tool.kill(); }
    bool isRunning() const { return m_tool.isRunning(); }

private:
    ToolProcess m_tool;
    LineSplitter m_lines;
    QStringDecoder m_decoder;
};

// One file's probe, run without waiting: the file check, then, side by side, the player's
// identify and FFmpeg's prober for the container's duration and, where the container records
// none or only guesses one from the bit rate (a raw MPEG video stream, Matroska written to a
// pipe), the packets' times, from the earliest to the end of the last. When the time limit
// passes (or stop() is called) the running tools are ended and the probe decides with what it
// has. done is called from the event loop, never from start().
class Probe : public QObject {
public:
    using Done = std::function<void(const ProbeOutcome&)>;

    Probe(const QString& path, int timeoutMs, Done done)
        : m_path(path), m_timeoutMs(timeoutMs), m_done(std::move(done)) {
        m_deadline.setSingleShot(true);
        connect(&m_deadline, &QTimer::timeout, this, &Probe::stop);
    }

    void start();
    void stop() {
        m_expired = true;
        for (ProbeTool* tool : {m_player.get(), m_prober.get()})
            if (tool)
                tool->kill();
    }
    bool isDone() const { return m_finished; }

private:
    void runProber(const QString& commandLine, LineSplitter::Handler onLine,
                   void (Probe::*next)(const ToolExit&, const QString&));
    void afterIdentify(const ToolExit& exit, const QString& output);
    void afterDuration(const ToolExit& exit, const QString& output);
    void afterPackets(const ToolExit& exit, const QString& output);
    void proberDone();
    void decide();
    void finish();

    const QString m_path;
    const int m_timeoutMs;
    Done m_done;
    ProbeOutcome m_out;
    QString m_toolPath;
    std::optional<QTemporaryDir> m_linkFolder;
    QTimer m_deadline;
    bool m_expired = false;
    bool m_finished = false;
    std::unique_ptr<ProbeTool> m_player;
    std::unique_ptr<ProbeTool> m_prober;
    bool m_identified = false; // the player has answered and found a video
    bool m_measured = false;   // the prober has answered

    // What the tools said.
    QString m_identifyLines;   // the identify output's ID_ lines, the latest of very many
    bool m_unreadable = false; // the prober ran and could not open the file as media
    bool m_guessed = false;    // the prober's duration was a guess from the bit rate
    bool m_guessOnly = false;  // and the packets could not replace it
    double m_proberAspect = 0; // the picture's shape as the prober read it
    bool m_soundless = false;  // the prober found no sound stream
    std::optional<double> m_seconds;
    std::optional<double> m_first;
    std::optional<double> m_last;
};

void Probe::start() {
    m_out.note = fileProblem(m_path);
    if (!m_out.note.isEmpty())
        return finish();
    m_toolPath = m_path;
    if (needsSafeName(m_path)) {
        // Named for this process, so that a later start can tell the folder of one that was
        // killed (removeStaleProbeFolders).
        m_linkFolder.emplace(QDir::tempPath() + QStringLiteral("/%1%2-XXXXXX")
                                                    .arg(QLatin1String(kProbeFolderPrefix))
                                                    .arg(QCoreApplication::applicationPid()));
        m_toolPath = safeLink(m_path, *m_linkFolder);
        if (m_toolPath.isEmpty()) {
            m_out.note = QCoreApplication::translate(
                "MediaProbe", "Clipvane cannot read this file: its name holds line breaks or "
                              "control characters. Rename it and add it again.");
            return finish();
        }
    }
    m_deadline.start(m_timeoutMs);
    constexpr qsizetype kMaxIds = 64 * 1024;
    m_player = std::make_unique<ProbeTool>(
        identifyCommandLine(programFolderWithSlash(), m_toolPath), 0,
        [this](QStringView line) {
            if (!line.startsWith(QLatin1String("ID_")))
                return;
            m_identifyLines += line;
            m_identifyLines += QLatin1Char('\n');
            if (m_identifyLines.size() > kMaxIds)
                m_identifyLines.remove(
                    0, m_identifyLines.indexOf(QLatin1Char('\n'),
                                               m_identifyLines.size() - kMaxIds / 2) +
                           1);
        },
        [this](const ToolExit& exit, const QString& output) { afterIdentify(exit, output); });
    runProber(durationCommandLine(ffprobeProgram(), m_toolPath), {}, &Probe::afterDuration);
}

void Probe::runProber(const QString& commandLine, LineSplitter::Handler onLine,
                      void (Probe::*next)(const ToolExit&, const QString&)) {
    // The previous run's tool is still on the stack when its end calls here.
    if (m_prober)
        QTimer::singleShot(0, this, [old = m_prober.release()] { delete old; });
    m_prober = std::make_unique<ProbeTool>(
        commandLine, 0, std::move(onLine),
        [this, next](const ToolExit& exit, const QString& output) { (this->*next)(exit, output); });
}

void Probe::afterIdentify(const ToolExit& identify, const QString& output) {
    m_out.identify = parseIdentifyOutput(m_identifyLines);
    m_out.identify.length.reset(); // decided below
    const auto fail = [this](const QString& note) {
        m_out.note = note;
        if (m_prober)
            m_prober->kill(); // its answer no longer matters
        finish();
    };
    if (!identify.started) {
        const QString player = programFolderWithSlash() + QStringLiteral("/mp.dll");
        return fail(QFileInfo::exists(player)
                        ? QCoreApplication::translate("MediaProbe",
                                                      "The player tool %1 could not be started.")
                              .arg(QDir::cleanPath(player))
                        : QCoreApplication::translate(
                              "MediaProbe", "The player tool %1 is missing; reinstall Clipvane.")
                              .arg(QDir::cleanPath(player)));
    }
    if (!identify.crashed && identify.exitCode == 127) {
        // The launcher could not run MPlayer and said why on its last line.
        const QString why = lastLine(output);
        return fail(why.isEmpty() ? QCoreApplication::translate(
                                        "MediaProbe", "The player tool could not run MPlayer.")
                                  : why);
    }
    if (m_expired && identify.crashed) {
        return fail(QCoreApplication::translate("MediaProbe",
                                                "Clipvane gave up reading this file after %1 s: "
                                                "it did not answer in time.")
                        .arg((m_timeoutMs + 999) / 1000));
    }
    if (!m_out.identify.hasVideo) {
        return fail(m_out.identify.hasAudio
                        ? QCoreApplication::translate(
                              "MediaProbe", "This file holds sound only, no video picture.")
                        : QCoreApplication::translate(
                              "MediaProbe", "Clipvane could not read this file: it may not be a "
                                            "video, or it may be damaged."));
    }
    m_identified = true;
    if (m_measured)
        decide();
}

void Probe::proberDone() {
    m_measured = true;
    if (m_identified)
        decide();
}

void Probe::afterDuration(const ToolExit& run, const QString& output) {
    if (!run.started || run.crashed || run.timedOut)
        return proberDone();
    if (run.exitCode != 0) {
        m_unreadable = true;
        return proberDone();
    }
    m_guessed = output.contains(QLatin1String("Estimating duration from bitrate"));
    const ContainerFacts facts = parseContainerFacts(output);
    m_proberAspect = facts.pictureAspect;
    m_soundless = !facts.hasSound;
    if (!m_guessed) {
        m_seconds = facts.seconds;
        if (m_seconds > 0.0)
            return proberDone();
        m_seconds.reset();
    }
    if (m_expired) {
        m_guessOnly = m_guessed;
        return proberDone();
    }
    runProber(
        packetTimesCommandLine(ffprobeProgram(), m_toolPath),
        [this](QStringView line) {
            // pts,dts,duration; a raw stream's packets have only a dts.
            const QList<QStringView> fields = line.split(QLatin1Char(','));
            if (fields.size() < 3)
                return;
            bool ok = false;
            double time = fields.at(0).toDouble(&ok);
            if (!ok)
                time = fields.at(1).toDouble(&ok);
            if (!ok || !std::isfinite(time))
                return;
            const double duration = fields.at(2).toDouble();
            const double end = time + (std::isfinite(duration) && duration > 0 ? duration : 0.0);
            m_first = std::min(m_first.value_or(time), time);
            m_last = std::max(m_last.value_or(end), end);
        },
        &Probe::afterPackets);
}

void Probe::afterPackets(const ToolExit& scan, const QString&) {
    if (scan.succeeded() && m_first && m_last)
        m_seconds = *m_last - *m_first;
    else
        m_guessOnly = m_guessed;
    proberDone();
}

void Probe::decide() {
    if (m_unreadable) {
        // The encoder is FFmpeg too: what its prober cannot open, it cannot convert.
        m_out.note = QCoreApplication::translate(
            "MediaProbe", "Clipvane could not read this file: it may not be a video, "
                          "or it may be damaged.");
        return finish();
    }
    // The prober's shape, else the player's, else square pixels.
    IdentifyResult& found = m_out.identify;
    if (m_proberAspect > 0)
        found.pictureAspect = m_proberAspect;
    else if (found.pictureAspect <= 0)
        found.pictureAspect = displayAspect(found.width, found.height, {}, {});
    found.soundless = m_soundless;
    std::optional<double> seconds = m_seconds;
    // The player's length is the fallback, unless it is the same guess from the bit rate.
    if ((!seconds || *seconds <= 0) && !m_guessOnly)
        seconds = m_out.identify.seconds;
    const std::optional<qint64> length = seconds ? shownLength(*seconds) : std::nullopt;
    if (length) {
        m_out.identify.length = length;
        m_out.seconds = *seconds;
    } else
        m_out.note = QCoreApplication::translate(
            "MediaProbe", "Clipvane could not read the length of this file: it may not be a "
                          "video.");
    finish();
}

void Probe::finish() {
    if (m_finished)
        return;
    m_finished = true;
    m_deadline.stop();
    QMetaObject::invokeMethod(
        this,
        [this] {
            // The tools are done with the file's link before its folder goes.
            m_player.reset();
            m_prober.reset();
            m_linkFolder.reset();
            m_done(m_out);
        },
        Qt::QueuedConnection);
}

void writeOutcome(SourceList& list, SourceList::Id id, const ProbeOutcome& outcome) {
    applyIdentifyResult(list, id, outcome.identify);
    list.setMediaFacts(id, MediaFacts{outcome.seconds, outcome.identify.frameRate});
    if (!outcome.note.isEmpty())
        list.setNote(id, outcome.note);
}
} // namespace

bool nameNotUtf8(const QString& path) {
    // Bytes that are not UTF-8 reach the program as replacement characters; a real file
    // whose name holds the character itself is found under it.
    return path.contains(QChar::ReplacementCharacter) && !QFileInfo(path).exists() &&
           !QFileInfo(path).isSymLink();
}

SourceList::Id appendRefused(SourceList& list, const QString& path, const QString& note) {
    const SourceList::Id id = list.append(path);
    writeOutcome(list, id, ProbeOutcome{IdentifyResult(), 0, note});
    return id;
}

int removeStaleProbeFolders() {
    int removed = 0;
    const QFileInfoList folders =
        QDir(QDir::tempPath())
            .entryInfoList({QLatin1String(kProbeFolderPrefix) + QLatin1Char('*')},
                           QDir::Dirs | QDir::Hidden | QDir::NoSymLinks);
    for (const QFileInfo& folder : folders) {
        // clipvane-probe-<process id>-XXXXXX: only ours, and only of a process that is gone.
        // Older versions named it clipvane-probe-XXXXXX: such a folder is stale once it is
        // older than any probe can last.
        if (folder.ownerId() != ::getuid())
            continue;
        const QString rest = folder.fileName().mid(qsizetype(qstrlen(kProbeFolderPrefix)));
        bool numbered = false;
        const qint64 owner = rest.section(QLatin1Char('-'), 0, 0).toLongLong(&numbered);
        if (numbered && owner > 0 && rest.contains(QLatin1Char('-'))) {
            if (::kill(static_cast<pid_t>(owner), 0) == 0 || errno != ESRCH)
                continue;
        } else if (folder.lastModified().msecsTo(QDateTime::currentDateTime()) <
                   10 * kProbeTimeoutMs) {
            continue;
        }
        removed += QDir(folder.absoluteFilePath()).removeRecursively() ? 1 : 0;
    }
    return removed;
}

QString identifyCommandLine(const QString& folderWithSlash, const QString& filePath) {
    // The folder already ends in "/": the doubled slash ("/prog//mp.dll") is the command text
    // as it has always been written, and the tests hold it to that. The system reads "//" as
    // one separator.
    return quoteIfNeeded(folderWithSlash + QStringLiteral("/mp.dll")) +
           QStringLiteral(" -identify -benchmark -nosound -vo null -vf cropdetect -endpos 1 ") +
           quoteArgument(filePath);
}

QString durationCommandLine(const QString& ffprobe, const QString& filePath) {
    // At warning level the prober also says when its duration is a guess from the bit rate.
    return quoteArgument(ffprobe) +
           QStringLiteral(" -v warning -show_entries stream=codec_type,width,height,"
                          "sample_aspect_ratio,display_aspect_ratio:format=duration -of default ") +
           quoteArgument(filePath);
}

namespace {
// "16:9" as 16/9; 0 for anything else ("0:1", "N/A").
double ratio(QStringView text) {
    const qsizetype colon = text.indexOf(QLatin1Char(':'));
    if (colon < 0)
        return 0;
    const double num = text.first(colon).toDouble();
    const double den = text.sliced(colon + 1).toDouble();
    return num > 0 && den > 0 && std::isfinite(num / den) ? num / den : 0;
}
} // namespace

double displayAspect(qint64 width, qint64 height, const QString& sampleAspect,
                     const QString& displayAspectRatio) {
    if (const double dar = ratio(displayAspectRatio); dar > 0)
        return dar;
    if (width <= 0 || height <= 0)
        return 0;
    const double sar = ratio(sampleAspect);
    return static_cast<double>(width) * (sar > 0 ? sar : 1.0) / static_cast<double>(height);
}

ContainerFacts parseContainerFacts(const QString& output) {
    ContainerFacts facts;
    static const QRegularExpression lineEnd(QStringLiteral("[\r\n]+"));
    QString section;
    QHash<QString, QString> stream;
    const auto endStream = [&] {
        const QString type = stream.value(QStringLiteral("codec_type"));
        if (type == QLatin1String("audio"))
            facts.hasSound = true;
        else if (type == QLatin1String("video") && facts.pictureAspect <= 0)
            facts.pictureAspect =
                displayAspect(stream.value(QStringLiteral("width")).toLongLong(),
                              stream.value(QStringLiteral("height")).toLongLong(),
                              stream.value(QStringLiteral("sample_aspect_ratio")),
                              stream.value(QStringLiteral("display_aspect_ratio")));
        stream.clear();
    };
    for (const QString& line : output.split(lineEnd, Qt::SkipEmptyParts)) {
        // Only the prober's own section marks: a message merged in may start with "[" too.
        if (line == QLatin1String("[STREAM]") || line == QLatin1String("[FORMAT]")) {
            section = line;
            continue;
        }
        if (line == QLatin1String("[/STREAM]") || line == QLatin1String("[/FORMAT]")) {
            if (section == QLatin1String("[STREAM]"))
                endStream();
            section.clear();
            continue;
        }
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (equals <= 0)
            continue; // a message merged in
        const QString key = line.left(equals);
        const QString value = line.mid(equals + 1);
        if (section == QLatin1String("[STREAM]"))
            stream.insert(key, value);
        else if (section == QLatin1String("[FORMAT]") && key == QLatin1String("duration"))
            facts.seconds = strictNumber(value);
    }
    return facts;
}

QString packetTimesCommandLine(const QString& ffprobe, const QString& filePath) {
    // Quiet: a message merged in could split a line of numbers.
    return quoteArgument(ffprobe) +
           QStringLiteral(
               " -v quiet -show_entries packet=pts_time,dts_time,duration_time -of csv=p=0 ") +
           quoteArgument(filePath);
}

IdentifyResult parseIdentifyOutput(const QString& output) {
    IdentifyResult result;
    static const QRegularExpression lineEnd(QStringLiteral("\r\n|\n|\r"));
    const QStringList lines = output.split(lineEnd);
    for (const QString& line : lines) {
        const QStringList pieces = line.split(QLatin1Char('='));
        if (pieces.size() < 2)
            continue;
        const QString& key = pieces.at(0);
        const QString& value = pieces.at(1);
        if (key.startsWith(QLatin1String("ID_VIDEO_")))
            result.hasVideo = true;
        else if (key == QLatin1String("ID_AUDIO_ID"))
            result.hasAudio = true;
        if (key == QLatin1String("ID_VIDEO_WIDTH") || key == QLatin1String("ID_VIDEO_HEIGHT")) {
            const std::optional<double> n = strictNumber(value);
            if (!n || std::fabs(*n) > 1e12) {
                result.complete = false;
                return result;
            }
            (key == QLatin1String("ID_VIDEO_WIDTH") ? result.width : result.height) =
                roundHalfEven(*n);
        } else if (key == QLatin1String("ID_LENGTH")) {
            result.seconds = leadingNumber(value);
            result.length = shownLength(*result.seconds).value_or(0);
        } else if (key == QLatin1String("ID_VIDEO_FORMAT")) {
            result.format = value;
        } else if (key == QLatin1String("ID_VIDEO_FPS")) {
            const double fps = leadingNumber(value);
            result.frameRate = fps > 0 && fps < 1000 ? fps : 0;
        } else if (key == QLatin1String("ID_VIDEO_ASPECT")) {
            // 0 until a frame is decoded; a later line has the real value.
            const double aspect = strictNumber(value).value_or(0);
            if (aspect > 0 && aspect < 1e6)
                result.pictureAspect = aspect;
        }
    }
    return result;
}

void applyIdentifyResult(SourceList& list, SourceList::Id id, const IdentifyResult& result) {
    std::optional<qint64> end = list.clipEnd(id);
    if (result.length) {
        end = result.length;
        list.setLength(id, result.length);
    }
    if (result.format)
        list.setText(id, SourceList::Format, *result.format);
    list.setPictureAspect(id, result.pictureAspect);
    list.setSoundless(id, result.soundless);
    if (!result.complete) {
        list.setClip(id, list.clipStart(id), end);
        return;
    }
    list.setClip(id, 0, end);
    list.setText(id, SourceList::Size,
                 QStringLiteral("%1x%2").arg(result.width).arg(result.height));
}

int probeParallelism() {
    return std::max(1, QThread::idealThreadCount());
}

QList<SourceList::Id> appendAndProbe(SourceList& list, const QStringList& paths, int parallel,
                                     int timeoutMs) {
    QList<SourceList::Id> ids;
    ids.reserve(paths.size());
    for (const QString& path : paths)
        ids.append(list.append(path));
    if (ids.isEmpty())
        return ids;
    list.beginProbe();
    parallel = std::max(parallel, 1);

    std::vector<std::unique_ptr<Probe>> probes(static_cast<size_t>(ids.size()));
    qsizetype next = 0;
    int running = 0;
    QEventLoop loop;
    std::function<void()> startMore = [&] {
        while (running < parallel && next < ids.size()) {
            const qsizetype i = next++;
            if (!list.contains(ids.at(i)))
                continue; // removed while waiting its turn
            ++running;
            auto& probe = probes[static_cast<size_t>(i)];
            probe =
                std::make_unique<Probe>(paths.at(i), timeoutMs, [&, i](const ProbeOutcome& out) {
                    // The list may have changed meanwhile; writes by id reach only this row.
                    writeOutcome(list, ids.at(i), out);
                    --running;
                    startMore();
                    if (running == 0)
                        loop.quit();
                });
            probe->start();
        }
    };
    // A row removed, or the list cleared, during its probe: the probe ends at once.
    const auto stopRemoved = [&] {
        for (size_t i = 0; i < probes.size(); ++i) {
            if (probes[i] && !probes[i]->isDone() && !list.contains(ids.at(qsizetype(i))))
                probes[i]->stop();
        }
    };
    QObject::connect(&list, &SourceList::rowsRemoved, &loop, stopRemoved);
    QObject::connect(&list, &SourceList::modelReset, &loop, stopRemoved);
    startMore();
    if (running > 0)
        loop.exec();
    list.endProbe();
    QCoreApplication::processEvents();
    return ids;
}

SourceList::Id appendAndProbe(SourceList& list, const QString& path, int timeoutMs) {
    return appendAndProbe(list, {path}, 1, timeoutMs).constFirst();
}

} // namespace clipvane
