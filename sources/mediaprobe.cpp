#include "sources/mediaprobe.h"

#include "base/apppaths.h"
#include "base/textvalues.h"
#include "process/commandline.h"
#include "process/process.h"
#include "process/toolpaths.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>

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

struct ToolRun {
    bool started = false;
    bool timedOut = false;
    int rc = 0;
    QString output; // the output, or its end when it was long
};

// Runs a tool, handing each line of its output to onLine, and waits (in a nested event loop)
// until it ends or the deadline passes.
ToolRun runTool(const QString& commandLine, const QDeadlineTimer& deadline,
                const LineSplitter::Handler& onLine = {}) {
    ToolRun run;
    LineSplitter lines(onLine ? onLine : [](QStringView) {});
    std::unique_ptr<Process> runner = NewProcess(commandLine);
    Process* r = runner.get();
    QObject::connect(r, &Process::StdOutChanged, r,
                     [&lines](const QString& piece) { lines.add(piece); });
    const qint64 remaining =
        std::clamp<qint64>(deadline.remainingTime(), 0, std::numeric_limits<int>::max());
    QTimer::singleShot(static_cast<int>(remaining), r, [r, &run] {
        if (r->IsActive()) {
            run.timedOut = true;
            r->Abort(0);
        }
    });
    runner->Launch();
    lines.finish();
    run.started = !runner->startFailed();
    run.rc = runner->RC();
    run.output = runner->StdOut();
    return run;
}

// The identify run: the ID_ lines of the player's output, the latest of them when there
// are very many (the last occurrence of a key wins).
ToolRun runIdentify(const QString& commandLine, const QDeadlineTimer& deadline, QString& ids) {
    constexpr qsizetype kMaxIds = 64 * 1024;
    return runTool(commandLine, deadline, [&ids](QStringView line) {
        if (!line.startsWith(QLatin1String("ID_")))
            return;
        ids += line;
        ids += QLatin1Char('\n');
        if (ids.size() > kMaxIds)
            ids.remove(0, ids.indexOf(QLatin1Char('\n'), ids.size() - kMaxIds / 2) + 1);
    });
}

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

// What FFmpeg's prober makes of a file.
struct ContainerLength {
    bool unreadable = false; // the prober ran and could not open the file as media
    bool guessOnly = false;  // its only length was a guess from the bit rate
    std::optional<double> seconds;
};

// The container's duration. Where the container records none (a raw MPEG video stream) or
// the prober only guesses one from the bit rate (a Matroska file written to a pipe), the
// packets' times are read through instead, from the earliest to the end of the last.
ContainerLength containerLength(const QString& path, const QDeadlineTimer& deadline) {
    ContainerLength result;
    if (deadline.hasExpired())
        return result;
    const QString ffprobe = ffprobeProgram();
    const ToolRun run = runTool(durationCommandLine(ffprobe, path), deadline);
    if (!run.started || run.timedOut)
        return result;
    if (run.rc != 0) {
        result.unreadable = true;
        return result;
    }
    const bool guessed = run.output.contains(QLatin1String("Estimating duration from bitrate"));
    if (!guessed) {
        // The number is on a line of its own; messages (merged in) are not numbers.
        static const QRegularExpression lineEnd(QStringLiteral("[\r\n]+"));
        const QStringList lines = run.output.split(lineEnd, Qt::SkipEmptyParts);
        for (auto line = lines.crbegin(); line != lines.crend() && !result.seconds; ++line)
            result.seconds = strictNumber(*line);
        if (result.seconds > 0.0)
            return result;
        result.seconds.reset();
    }

    std::optional<double> first;
    std::optional<double> last;
    const ToolRun scan =
        runTool(packetTimesCommandLine(ffprobe, path), deadline, [&](QStringView line) {
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
            first = std::min(first.value_or(time), time);
            last = std::max(last.value_or(end), end);
        });
    if (scan.started && !scan.timedOut && scan.rc == 0 && first && last)
        result.seconds = *last - *first;
    else
        result.guessOnly = guessed;
    return result;
}

struct ProbeOutcome {
    IdentifyResult identify;
    QString note; // why the file cannot be converted, or empty
};

ProbeOutcome probeFile(const QString& path, int timeoutMs) {
    ProbeOutcome out;
    out.note = fileProblem(path);
    if (!out.note.isEmpty())
        return out;

    std::optional<QTemporaryDir> linkFolder;
    QString toolPath = path;
    if (needsSafeName(path)) {
        linkFolder.emplace(QDir::tempPath() + QStringLiteral("/clipvane-probe-XXXXXX"));
        toolPath = safeLink(path, *linkFolder);
        if (toolPath.isEmpty()) {
            out.note =
                QStringLiteral("Clipvane cannot read this file: its name holds line breaks or "
                               "control characters. Rename it and add it again.");
            return out;
        }
    }

    const QDeadlineTimer deadline(timeoutMs);
    const QString player = AppPathSlash() + QStringLiteral("/mp.dll");
    QString ids;
    const ToolRun identify =
        runIdentify(identifyCommandLine(AppPathSlash(), toolPath), deadline, ids);
    out.identify = parseIdentifyOutput(ids);
    out.identify.length.reset(); // decided below
    if (!identify.started) {
        out.note = QFileInfo::exists(player)
                       ? QStringLiteral("The player tool %1 could not be started.")
                             .arg(QDir::cleanPath(player))
                       : QStringLiteral("The player tool %1 is missing; reinstall Clipvane.")
                             .arg(QDir::cleanPath(player));
        return out;
    }
    if (identify.rc == 127) {
        // The launcher could not run MPlayer and said why on its last line.
        out.note = lastLine(identify.output);
        if (out.note.isEmpty())
            out.note = QStringLiteral("The player tool could not run MPlayer.");
        return out;
    }
    if (identify.timedOut) {
        out.note = QStringLiteral("Clipvane gave up reading this file after %1 s: "
                                  "it did not answer in time.")
                       .arg((timeoutMs + 999) / 1000);
        return out;
    }
    if (!out.identify.hasVideo) {
        out.note = out.identify.hasAudio
                       ? QStringLiteral("This file holds sound only, no video picture.")
                       : QStringLiteral("Clipvane could not read this file: it may not be a "
                                        "video, or it may be damaged.");
        return out;
    }

    const ContainerLength container = containerLength(toolPath, deadline);
    if (container.unreadable) {
        // The encoder is FFmpeg too: what its prober cannot open, it cannot convert.
        out.note = QStringLiteral("Clipvane could not read this file: it may not be a video, "
                                  "or it may be damaged.");
        return out;
    }
    std::optional<double> seconds = container.seconds;
    // The player's length is the fallback, unless it is the same guess from the bit rate.
    if ((!seconds || *seconds <= 0) && !container.guessOnly)
        seconds = out.identify.seconds;
    const qint64 whole = seconds ? wholeSecondsUp(*seconds) : 0;
    if (whole > 0)
        out.identify.length = timeText(whole);
    else
        out.note =
            QStringLiteral("Clipvane could not read the length of this file: it may not be a "
                           "video.");
    return out;
}

} // namespace

QString identifyCommandLine(const QString& appPathSlash, const QString& filePath) {
    return quoteIfNeeded(appPathSlash + QStringLiteral("/mp.dll")) +
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

SourceList::Id addvideofile(SourceList& list, const QString& path, int timeoutMs) {
    const SourceList::Id id = list.append(path);
    list.beginProbe();
    const ProbeOutcome outcome = probeFile(path, timeoutMs);
    // The list may have changed during the wait; writes by id reach only our own row.
    applyIdentifyResult(list, id, outcome.identify);
    if (!outcome.note.isEmpty())
        list.setNote(id, outcome.note);
    list.endProbe();
    QCoreApplication::processEvents();
    return id;
}

} // namespace clipvane
