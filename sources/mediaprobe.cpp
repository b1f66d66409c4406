#include "sources/mediaprobe.h"

#include "base/apppaths.h"
#include "base/textvalues.h"
#include "process/childtools.h"
#include "process/commandline.h"
#include "process/toolpaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <algorithm>
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
    if (!info.exists())
        return QStringLiteral("Clipvane cannot find this file: it may have been moved, renamed or "
                              "deleted.");
    if (info.isDir())
        return QStringLiteral("This is a folder, not a video file.");
    // Only a regular file is opened here: opening a pipe would wait for a writer.
    if (!info.isFile())
        return {};
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("Clipvane cannot read this file (%1).").arg(file.errorString());
    if (file.size() == 0)
        return QStringLiteral("This file is empty (0 bytes).");
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

struct ToolRun {
    bool started = false;
    bool timedOut = false;
    int rc = 0;
    QString output; // the output, or its end when it was long
};

// Keeps the end of a tool's output: at most twice kKeep characters, cut at a line start.
void appendTail(QString& tail, QStringView piece) {
    constexpr qsizetype kKeep = 128 * 1024;
    tail += piece;
    if (tail.size() <= 2 * kKeep)
        return;
    qsizetype cut = tail.size() - kKeep;
    const qsizetype lineEnd = tail.indexOf(QLatin1Char('\n'), cut);
    if (lineEnd >= 0)
        cut = lineEnd + 1;
    else if (tail.at(cut).isLowSurrogate())
        ++cut;
    tail.remove(0, cut);
}

struct ProbeOutcome {
    IdentifyResult identify;
    QString note; // why the file cannot be converted, or empty
};

// One file's probe, run without waiting: the file check, the player's identify, then FFmpeg's
// prober for the container's duration and, where the container records none or only guesses
// one from the bit rate (a raw MPEG video stream, Matroska written to a pipe), the packets'
// times, from the earliest to the end of the last. Each tool runs without a shell in a
// process group of its own, with its output merged and read line by line as it arrives.
// When the time limit passes (or stop() is called) the running tool's group is killed and
// the probe decides with what it has. done is called from the event loop, never from start().
class Probe : public QObject {
public:
    using Done = std::function<void(const ProbeOutcome&)>;

    Probe(const QString& path, int timeoutMs, Done done)
        : m_path(path), m_timeoutMs(timeoutMs), m_done(std::move(done)) {
        m_deadline.setSingleShot(true);
        connect(&m_deadline, &QTimer::timeout, this, &Probe::stop);
    }
    ~Probe() override {
        if (m_child)
            m_child->disconnect(this);
        killTool();
        forgetGroup();
    }

    void start();
    void stop() {
        m_expired = true;
        killTool();
    }
    bool isDone() const { return m_finished; }

private:
    using Next = void (Probe::*)(const ToolRun&);
    void runTool(const QString& commandLine, LineSplitter::Handler onLine, Next next);
    void readOutput();
    void toolEnded(bool started, int rc);
    void killTool();
    void forgetGroup();
    void afterIdentify(const ToolRun& run);
    void afterDuration(const ToolRun& run);
    void afterPackets(const ToolRun& run);
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

    // The running tool.
    QProcess* m_child = nullptr;
    qint64 m_group = 0; // its process group while the quick exit is to end it
    bool m_killed = false;
    std::optional<LineSplitter> m_lines;
    std::optional<QStringDecoder> m_decoder;
    QString m_output;
    Next m_next = nullptr;

    // What the tools said.
    QString m_identifyLines; // the identify output's ID_ lines, the latest when there are very many
    bool m_unreadable = false; // the prober ran and could not open the file as media
    bool m_guessed = false;    // the prober's duration was a guess from the bit rate
    bool m_guessOnly = false;  // and the packets could not replace it
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
        m_linkFolder.emplace(QDir::tempPath() + QStringLiteral("/clipvane-probe-XXXXXX"));
        m_toolPath = safeLink(m_path, *m_linkFolder);
        if (m_toolPath.isEmpty()) {
            m_out.note =
                QStringLiteral("Clipvane cannot read this file: its name holds line breaks or "
                               "control characters. Rename it and add it again.");
            return finish();
        }
    }
    m_deadline.start(m_timeoutMs);
    constexpr qsizetype kMaxIds = 64 * 1024;
    runTool(
        identifyCommandLine(programFolderWithSlash(), m_toolPath),
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
        &Probe::afterIdentify);
}

void Probe::runTool(const QString& commandLine, LineSplitter::Handler onLine, Next next) {
    m_next = next;
    m_killed = false;
    m_output.clear();
    m_lines.emplace(onLine ? std::move(onLine) : [](QStringView) {});
    m_decoder.emplace(QStringDecoder::Utf8);
    auto* child = new QProcess(this);
    m_child = child;
    const auto failed = [this, child] {
        // Reported from the event loop: a start can fail inside QProcess::start.
        QMetaObject::invokeMethod(
            this,
            [this, child] {
                if (m_child == child)
                    toolEnded(false, 0);
            },
            Qt::QueuedConnection);
    };
    QStringList args = splitCommandLine(commandLine);
    if (args.isEmpty())
        return failed();
    child->setProcessChannelMode(QProcess::MergedChannels);
    child->setProgram(args.takeFirst());
    child->setArguments(args);
    child->setStandardInputFile(QProcess::nullDevice());
    // Runs in the child between fork and exec: a group of its own, led by the tool.
    child->setChildProcessModifier([] { ::setpgid(0, 0); });
    connect(child, &QProcess::readyRead, this, &Probe::readOutput);
    connect(child, &QProcess::finished, this, [this](int exitCode, QProcess::ExitStatus status) {
        toolEnded(true, status == QProcess::NormalExit && !m_killed ? exitCode : 0);
    });
    connect(child, &QProcess::errorOccurred, this, [failed](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            failed();
    });
    child->start(QIODevice::ReadOnly);
    if (m_child == child && child->state() != QProcess::NotRunning) {
        // Closing the window ends the program at once; the tool and its children end too.
        m_group = child->processId();
        ChildTools::instance().setStopping(m_group, true);
    }
}

void Probe::readOutput() {
    while (m_child) {
        const QByteArray bytes = m_child->read(64 * 1024);
        if (bytes.isEmpty())
            return;
        const QString piece = m_decoder->decode(bytes);
        m_lines->add(piece);
        appendTail(m_output, piece);
    }
}

void Probe::forgetGroup() {
    if (m_group > 0)
        ChildTools::instance().setStopping(m_group, false);
    m_group = 0;
}

void Probe::killTool() {
    // Only while the group's leader has not been reaped: its id cannot have been reused.
    if (!m_child || m_child->state() == QProcess::NotRunning)
        return;
    m_killed = true;
    if (m_group > 0)
        ::kill(static_cast<pid_t>(-m_group), SIGKILL);
    m_child->kill();
}

void Probe::toolEnded(bool started, int rc) {
    readOutput();
    m_lines->finish();
    // The leader has just been reaped: its group id must not be signalled any more.
    forgetGroup();
    m_child->disconnect(this);
    std::exchange(m_child, nullptr)->deleteLater();
    (this->*m_next)(ToolRun{started, m_killed, rc, std::exchange(m_output, {})});
}

void Probe::afterIdentify(const ToolRun& identify) {
    m_out.identify = parseIdentifyOutput(m_identifyLines);
    m_out.identify.length.reset(); // decided below
    if (!identify.started) {
        const QString player = programFolderWithSlash() + QStringLiteral("/mp.dll");
        m_out.note = QFileInfo::exists(player)
                         ? QStringLiteral("The player tool %1 could not be started.")
                               .arg(QDir::cleanPath(player))
                         : QStringLiteral("The player tool %1 is missing; reinstall Clipvane.")
                               .arg(QDir::cleanPath(player));
        return finish();
    }
    if (identify.rc == 127) {
        // The launcher could not run MPlayer and said why on its last line.
        m_out.note = lastLine(identify.output);
        if (m_out.note.isEmpty())
            m_out.note = QStringLiteral("The player tool could not run MPlayer.");
        return finish();
    }
    if (identify.timedOut) {
        m_out.note = QStringLiteral("Clipvane gave up reading this file after %1 s: "
                                    "it did not answer in time.")
                         .arg((m_timeoutMs + 999) / 1000);
        return finish();
    }
    if (!m_out.identify.hasVideo) {
        m_out.note = m_out.identify.hasAudio
                         ? QStringLiteral("This file holds sound only, no video picture.")
                         : QStringLiteral("Clipvane could not read this file: it may not be a "
                                          "video, or it may be damaged.");
        return finish();
    }
    if (m_expired)
        return decide();
    runTool(durationCommandLine(ffprobeProgram(), m_toolPath), {}, &Probe::afterDuration);
}

void Probe::afterDuration(const ToolRun& run) {
    if (!run.started || run.timedOut)
        return decide();
    if (run.rc != 0) {
        m_unreadable = true;
        return decide();
    }
    m_guessed = run.output.contains(QLatin1String("Estimating duration from bitrate"));
    if (!m_guessed) {
        // The number is on a line of its own; messages (merged in) are not numbers.
        static const QRegularExpression lineEnd(QStringLiteral("[\r\n]+"));
        const QStringList lines = run.output.split(lineEnd, Qt::SkipEmptyParts);
        for (auto line = lines.crbegin(); line != lines.crend() && !m_seconds; ++line)
            m_seconds = strictNumber(*line);
        if (m_seconds > 0.0)
            return decide();
        m_seconds.reset();
    }
    if (m_expired) {
        m_guessOnly = m_guessed;
        return decide();
    }
    runTool(
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

void Probe::afterPackets(const ToolRun& scan) {
    if (scan.started && !scan.timedOut && scan.rc == 0 && m_first && m_last)
        m_seconds = *m_last - *m_first;
    else
        m_guessOnly = m_guessed;
    decide();
}

void Probe::decide() {
    if (m_unreadable) {
        // The encoder is FFmpeg too: what its prober cannot open, it cannot convert.
        m_out.note = QStringLiteral("Clipvane could not read this file: it may not be a video, "
                                    "or it may be damaged.");
        return finish();
    }
    std::optional<double> seconds = m_seconds;
    // The player's length is the fallback, unless it is the same guess from the bit rate.
    if ((!seconds || *seconds <= 0) && !m_guessOnly)
        seconds = m_out.identify.seconds;
    const qint64 whole = seconds ? wholeSecondsUp(*seconds) : 0;
    if (whole > 0)
        m_out.identify.length = timeText(whole);
    else
        m_out.note =
            QStringLiteral("Clipvane could not read the length of this file: it may not be a "
                           "video.");
    finish();
}

void Probe::finish() {
    m_finished = true;
    m_deadline.stop();
    m_linkFolder.reset();
    QMetaObject::invokeMethod(
        this, [this] { m_done(m_out); }, Qt::QueuedConnection);
}

void writeOutcome(SourceList& list, SourceList::Id id, const ProbeOutcome& outcome) {
    applyIdentifyResult(list, id, outcome.identify);
    if (!outcome.note.isEmpty())
        list.setNote(id, outcome.note);
}
} // namespace

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
           QStringLiteral(" -v warning -show_entries format=duration -of default=nw=1:nk=1 ") +
           quoteArgument(filePath);
}

QString packetTimesCommandLine(const QString& ffprobe, const QString& filePath) {
    // Quiet: a message merged in could split a line of numbers.
    return quoteArgument(ffprobe) +
           QStringLiteral(
               " -v quiet -show_entries packet=pts_time,dts_time,duration_time -of csv=p=0 ") +
           quoteArgument(filePath);
}

qint64 wholeSecondsUp(double seconds) {
    constexpr double limit = 1e12;
    if (!(seconds > 0)) // NaN too
        return 0;
    if (seconds >= limit)
        return static_cast<qint64>(limit);
    return static_cast<qint64>(std::ceil(seconds));
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
            result.length = timeText(wholeSecondsUp(*result.seconds));
        } else if (key == QLatin1String("ID_VIDEO_FORMAT")) {
            result.format = value;
        }
    }
    return result;
}

void applyIdentifyResult(SourceList& list, SourceList::Id id, const IdentifyResult& result) {
    if (result.length) {
        list.setText(id, SourceList::End, *result.length);
        list.setText(id, SourceList::VideoTime, *result.length);
    }
    if (result.format)
        list.setText(id, SourceList::Format, *result.format);
    if (!result.complete)
        return;
    list.setText(id, SourceList::Start, QStringLiteral("0:00:00"));
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
