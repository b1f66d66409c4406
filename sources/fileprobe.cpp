#include "sources/fileprobe.h"

#include "sources/picturelook.h"

#include "base/apppaths.h"
#include "base/textvalues.h"
#include "process/toolpaths.h"
#include "process/toolprocess.h"
#include "sources/probefolders.h"
#include "sources/streamfacts.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QtConcurrent/QtConcurrentRun>
#include <algorithm>
#include <cmath>
#include <csignal>
#include <utility>

namespace clipvane {

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

namespace {

QString lastLine(const QString& output) {
    static const QRegularExpression lineEnd(QStringLiteral("[\r\n]+"));
    const QStringList lines = output.trimmed().split(lineEnd);
    return lines.isEmpty() ? QString() : lines.last().trimmed();
}
} // namespace

// One tool of a probe: its ToolProcess, its output read line by line as it arrives, and the
// end of its output (the number or the complaint the probe reads at the end).
class ProbeTool {
public:
    // The end of the tool's output (standard error merged in, unless kept apart) and of its
    // complaints (kept apart only).
    using Ended =
        std::function<void(const ToolExit& exit, const QByteArray& tail, const QByteArray& errors)>;

    ProbeTool(const QString& commandLine, int timeLimitMs, LineSplitter::Handler onLine,
              Ended ended, bool errorsApart = false)
        : m_lines(onLine ? std::move(onLine) : [](QStringView) {}),
          m_decoder(QStringDecoder::Utf8) {
        QObject::connect(&m_tool, &ToolProcess::outputRead, [this](const QByteArray& bytes) {
            m_lines.add(QString(m_decoder.decode(bytes)));
        });
        QObject::connect(&m_tool, &ToolProcess::finished, [this, ended](const ToolExit& exit) {
            m_lines.finish();
            ended(exit, m_tool.output(), m_tool.errors());
        });
        ToolProcess::Options options;
        options.standardOutput = ToolProcess::Channel::Keep;
        options.standardError =
            errorsApart ? ToolProcess::Channel::Keep : ToolProcess::Channel::Merge;
        // A listing of many streams and chapters is read whole; a flood of messages is not.
        options.keepBytes = errorsApart ? 4 * 1024 * 1024 : 128 * 1024;
        // Closing the window ends the program at once; the tool and its children end too.
        options.deathSignal = SIGKILL;
        options.endsAtQuickExit = true;
        options.timeLimitMs = timeLimitMs;
        if (!m_tool.start(commandLine, options)) {
            // Reported from the event loop, as every other end is.
            QTimer::singleShot(0, &m_tool, [ended] {
                ToolExit exit;
                exit.started = false;
                ended(exit, {}, {});
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

FileProbe::FileProbe(const QString& path, int timeoutMs, Done done, QObject* parent)
    : QObject(parent), m_path(path), m_timeoutMs(timeoutMs), m_done(std::move(done)) {
    m_deadline.setSingleShot(true);
    connect(&m_deadline, &QTimer::timeout, this, &FileProbe::stop);
}

FileProbe::~FileProbe() {
    m_stopReading->store(true); // a reading under way has no one to tell
}

void FileProbe::stop() {
    if (m_finished)
        return;
    m_expired = true;
    for (ProbeTool* tool : {m_player.get(), m_look.get()})
        if (tool)
            tool->kill();
    m_stopReading->store(true);
    if (m_listing && m_listing->isRunning()) {
        // The reading cannot be stopped; its answer no longer matters.
        m_listing->disconnect(this);
        QMetaObject::invokeMethod(
            this,
            [this] {
                ToolExit given;
                given.crashed = given.timedOut = true;
                afterListing(given, {}, {});
            },
            Qt::QueuedConnection);
    }
}

void FileProbe::start() {
    m_out.note = fileProblem(m_path);
    if (!m_out.note.isEmpty())
        return finish();
    m_toolPath = m_path;
    if (needsSafeName(m_path)) {
        m_link = std::make_unique<SafeLink>(m_path);
        m_toolPath = m_link->path();
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
        [this](const ToolExit& exit, const QByteArray& output, const QByteArray&) {
            afterIdentify(exit, QString::fromUtf8(output));
        });
    listTracks();
}

void FileProbe::listTracks() {
    // Read with FFmpeg's libraries on a worker thread: no prober's start-up for each file
    // added. Only a file can be read so (a pipe would hold the reader for good).
    const QFileInfo file(m_path);
    if (!file.isFile()) {
        ToolExit none;
        none.started = false;
        return afterListing(none, {}, {});
    }
    m_listing = std::make_unique<QFutureWatcher<PacketListing>>();
    connect(m_listing.get(), &QFutureWatcher<PacketListing>::finished, this, [this] {
        const PacketListing listing = m_listing->result();
        ToolExit exit;
        exit.exitCode = listing.exitCode;
        afterListing(exit, listing.json, listing.errors);
    });
    m_listing->setFuture(QtConcurrent::run(readListing, file.absoluteFilePath()));
}

void FileProbe::afterIdentify(const ToolExit& identify, const QString& output) {
    m_out.identify = parseIdentifyOutput(m_identifyLines);
    m_out.identify.length.reset(); // decided below
    const auto fail = [this](const QString& note) {
        m_out.note = note;
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
    // A file without a picture may hold sound only: the prober's listing decides.
    m_identified = true;
    if (m_measured)
        decide();
}

void FileProbe::proberDone() {
    m_measured = true;
    if (m_identified)
        decide();
}

void FileProbe::afterListing(const ToolExit& run, const QByteArray& output,
                             const QByteArray& errors) {
    if (!run.started || run.crashed || run.timedOut)
        return proberDone();
    if (run.exitCode != 0) {
        m_unreadable = true;
        // An MP4 or QuickTime file cut short before its index was written.
        m_indexMissing = errors.contains("moov atom not found");
        return proberDone();
    }
    m_guessed = errors.contains("Estimating duration from bitrate");
    const ProberListing listing = parseProberListing(output);
    m_out.streams = listing.facts;
    m_proberAspect = listing.pictureAspect;
    m_soundless = listing.facts.listed && listing.facts.audio.isEmpty();
    if (!m_guessed) {
        m_seconds = listing.seconds;
        if (m_seconds > 0.0) {
            // The length is known: the picture is looked at while the player still reads.
            if (listing.facts.hasVideo && !m_expired)
                startLook(*m_seconds);
            return proberDone();
        }
        m_seconds.reset();
    }
    if (m_expired) {
        m_guessOnly = m_guessed;
        return proberDone();
    }
    // Read on a worker thread, every packet: rare, and the reading stops when the probe does.
    m_packets = std::make_unique<QFutureWatcher<std::optional<double>>>();
    connect(m_packets.get(), &QFutureWatcher<std::optional<double>>::finished, this,
            [this] { afterPackets(m_packets->result()); });
    m_packets->setFuture(
        QtConcurrent::run([path = QFileInfo(m_path).absoluteFilePath(), stop = m_stopReading] {
            return readPacketSpan(path, stop.get());
        }));
}

void FileProbe::afterPackets(std::optional<double> span) {
    if (span && *span > 0)
        m_seconds = span;
    else
        m_guessOnly = m_guessed;
    proberDone();
}

void FileProbe::decide() {
    IdentifyResult& found = m_out.identify;
    if (m_unreadable) {
        // The encoder is FFmpeg too: what its prober cannot open, it cannot convert. What the
        // player made of it (a size, a format) is a guess, and not shown.
        found.width = found.height = 0;
        found.format.reset();
        m_out.note =
            m_indexMissing
                ? QCoreApplication::translate(
                      "MediaProbe", "This file is damaged or incomplete: its index is missing (it "
                                    "may have been cut short while it was written or copied).")
                : QCoreApplication::translate("MediaProbe",
                                              "Clipvane could not read this file: it may not "
                                              "be a video, or it may be damaged.");
        return finish();
    }
    StreamFacts& streams = m_out.streams;
    if (streams.soundOnly()) {
        // Listed with its length and its sound's format; the sound-only profiles take it.
        found.soundOnly = true;
        found.width = found.height = 0;
        found.complete = true;
        found.format = codecShownName(streams.audio.at(streams.defaultAudio()).codec);
    } else if (!found.hasVideo) {
        m_out.note =
            found.hasAudio || (streams.listed && !streams.audio.isEmpty())
                ? QCoreApplication::translate("MediaProbe",
                                              "This file holds sound only, no video picture.")
                : QCoreApplication::translate("MediaProbe",
                                              "Clipvane could not read this file: it may not be a "
                                              "video, or it may be damaged.");
        return finish();
    } else if (found.format) {
        found.format = readableFormat(*found.format, streams.videoCodec);
    }
    if (streams.listed) {
        // Subtitle files beside the source are offered as tracks of it.
        streams.subtitles.append(subtitleFilesBeside(m_path, &streams.unreadableSubtitleFiles));
    }
    // The prober's shape, else the player's, else square pixels.
    if (found.soundOnly)
        found.pictureAspect = 0;
    else if (m_proberAspect > 0)
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
    // A picture is looked at for black bars and interlacing before the probe ends; when the
    // length came late (from the packets or the player), the look starts only now.
    m_decided = true;
    if (length && !found.soundOnly && streams.hasVideo && !m_expired && !m_look)
        startLook(*seconds);
    if (!m_looking || !m_out.note.isEmpty() || found.soundOnly)
        finish();
}

void FileProbe::startLook(double seconds) {
    m_looking = true;
    m_look = std::make_unique<ProbeTool>(
        pictureLookCommandLine(ffmpegProgram(), m_toolPath, seconds), kPictureLookLimitMs, nullptr,
        [this](const ToolExit& exit, const QByteArray& output, const QByteArray&) {
            afterLook(exit, output);
        });
}

void FileProbe::afterLook(const ToolExit& look, const QByteArray& output) {
    m_looking = false;
    if (look.succeeded()) {
        const PictureLook found = parsePictureLook(QString::fromUtf8(output));
        m_out.streams.picture.detectedCrop = found.crop;
        m_out.streams.picture.interlaced = found.interlaced;
    }
    if (m_decided)
        finish();
}

void FileProbe::finish() {
    if (m_finished)
        return;
    m_finished = true;
    m_deadline.stop();
    m_stopReading->store(true);
    QMetaObject::invokeMethod(
        this,
        [this] {
            // The tools are done with the file's link before its folder goes.
            m_player.reset();
            m_look.reset();
            m_listing.reset();
            m_packets.reset();
            m_link.reset();
            m_done(m_out);
        },
        Qt::QueuedConnection);
}

} // namespace clipvane
