#include "convert/qualityscore.h"

#include "process/toolpaths.h"
#include "process/toolprocess.h"

#include <QRegularExpression>
#include <algorithm>
#include <cmath>
#include <csignal>
#include <limits>

namespace clipvane {

namespace {

// How far before a window the output is read: more than a frame of any video worth scoring,
// so that the first source frame of the window finds the output frame made from it.
constexpr double kOutputLead = 0.5;
// Where the windows lie on the compared timeline: one after another, further apart than a
// window and its lead.
constexpr double kWindowSpacing = 10;
// A source frame is paired with the last output frame at or before its instant. The encode
// began with the first frame at or after the clip's start, so the output's timeline is the
// source's moved back by less than a frame; but the output's timestamps are rounded to its
// frame rate while some sources keep only milliseconds. Half a millisecond more on the source
// side keeps a frame whose time was rounded down paired with its own output frame.
constexpr double kPairingSlack = 0.0005;

QString secondsText(double seconds) {
    return QString::number(std::max(0.0, seconds), 'f', 3);
}

QString shiftText(double seconds) {
    return QString::number(seconds, 'f', 6);
}

} // namespace

std::vector<ScoreWindow> scoreWindows(double clipLength) {
    if (!std::isfinite(clipLength) || clipLength <= kWholeClipUpTo)
        return {{0, std::isfinite(clipLength) && clipLength > 0 ? clipLength : 0}};
    // Every window costs about the same, whatever the clip's length; longer clips get more.
    const int count = std::clamp(static_cast<int>(clipLength / kWholeClipUpTo), 3, 5);
    std::vector<ScoreWindow> windows;
    for (int i = 0; i < count; ++i) {
        const double middle = (i + 0.5) * clipLength / count;
        const double start = std::round((middle - kScoreWindowSeconds / 2) * 1000) / 1000;
        windows.push_back({start, kScoreWindowSeconds});
    }
    return windows;
}

QStringList scoreArguments(const QString& program, const ScoreRequest& request) {
    QStringList args{program, QStringLiteral("-hide_banner"), QStringLiteral("-nostdin"),
                     QStringLiteral("-nostats")};
    const std::vector<ScoreWindow> windows = scoreWindows(request.clipLength);
    const bool whole = windows.size() == 1;
    const QString one = QStringLiteral("1");
    QString graph;
    QString sourceLabels;
    QString outputLabels;
    for (std::size_t i = 0; i < windows.size(); ++i) {
        const ScoreWindow& window = windows[i];
        // Each window of the source from the clip's start plus the window's (decoded from the
        // keyframe before it, so that its first frame is the one at or after that instant),
        // the output from a little before the window; both to the window's end. The decoders
        // run on one thread each: several are open at once, and the comparison runs beside
        // an encode, where it should take little, not finish soon.
        const double sourceStart = request.clipStart + window.start;
        const double outputStart = std::max(0.0, window.start - kOutputLead);
        const double lead = window.start - outputStart;
        args << QStringLiteral("-threads") << one;
        if (sourceStart > 0)
            args << QStringLiteral("-ss") << secondsText(sourceStart);
        if (window.length > 0)
            args << QStringLiteral("-t") << secondsText(window.length);
        args << QStringLiteral("-i") << request.source;
        args << QStringLiteral("-threads") << one;
        if (outputStart > 0)
            args << QStringLiteral("-ss") << secondsText(outputStart);
        if (window.length > 0)
            args << QStringLiteral("-t") << secondsText(window.length + lead);
        args << QStringLiteral("-i") << request.output;
        // Both on one timeline in microseconds: the window's instants where the window lies on
        // it, the output's lead before them.
        const double offset = kOutputLead + static_cast<double>(i) * kWindowSpacing;
        const QString source = whole ? QStringLiteral("src") : QStringLiteral("sw%1").arg(i);
        const QString output = whole ? QStringLiteral("outw") : QStringLiteral("ow%1").arg(i);
        graph += QStringLiteral("[%1:v:0]settb=AVTB,setpts=PTS+%2/TB[%3];"
                                "[%4:v:0]settb=AVTB,setpts=PTS+%5/TB[%6];")
                     .arg(2 * i)
                     .arg(shiftText(offset + kPairingSlack), source)
                     .arg(2 * i + 1)
                     .arg(shiftText(offset - lead), output);
        sourceLabels += QLatin1Char('[') + source + QLatin1Char(']');
        outputLabels += QLatin1Char('[') + output + QLatin1Char(']');
    }
    if (!whole)
        graph += QStringLiteral("%1interleave=nb_inputs=%3[src];%2interleave=nb_inputs=%3[outw];")
                     .arg(sourceLabels, outputLabels)
                     .arg(windows.size());
    // A few source frames a second, each compared with the output frame shown at its instant
    // (the ssim and psnr filters pair each frame of their first input with the latest of the
    // second; output frames after the last source frame are not compared). The output at its
    // display size with square pixels, the source scaled to match it.
    const double interval = 1 / (whole ? kScoredFramesPerSecond : kWindowFramesPerSecond);
    graph += QStringLiteral("[src]select='isnan(prev_selected_t)+gte(t-prev_selected_t\\,%1)'"
                            "[sampled];"
                            "[outw]scale='trunc(iw*sar/2)*2':ih,setsar=1,format=yuv420p[out];"
                            "[sampled][out]scale2ref[scaled][ref];"
                            "[scaled]setsar=1,format=yuv420p,split[s1][s2];"
                            "[ref]split[o1][o2];"
                            "[s1][o1]ssim=shortest=1;[s2][o2]psnr=shortest=1")
                 .arg(secondsText(interval - 0.001));
    args << QStringLiteral("-filter_complex") << graph << QStringLiteral("-an")
         << QStringLiteral("-sn") << QStringLiteral("-dn") << QStringLiteral("-f")
         << QStringLiteral("null") << QStringLiteral("-");
    return args;
}

std::optional<OutputScore> parseScore(const QByteArray& errorOutput) {
    const QString text = QString::fromUtf8(errorOutput);
    static const QRegularExpression ssimLine(QStringLiteral(R"(\] SSIM .*All:([0-9.]+))"));
    static const QRegularExpression psnrLine(QStringLiteral(R"(\] PSNR .*average:([0-9.]+|inf))"));
    const QRegularExpressionMatch ssim = ssimLine.match(text);
    const QRegularExpressionMatch psnr = psnrLine.match(text);
    if (!ssim.hasMatch() || !psnr.hasMatch())
        return std::nullopt;
    OutputScore score;
    bool ok = false;
    score.ssim = ssim.captured(1).toDouble(&ok);
    if (!ok || score.ssim < 0 || score.ssim > 1)
        return std::nullopt;
    if (psnr.captured(1) == QLatin1String("inf")) {
        score.psnr = std::numeric_limits<double>::infinity();
    } else {
        score.psnr = psnr.captured(1).toDouble(&ok);
        if (!ok)
            return std::nullopt;
    }
    return score;
}

QualityScorer::QualityScorer(SourceList* list, QObject* parent) : QObject(parent), m_list(list) {}

QualityScorer::~QualityScorer() {
    // A comparison under way is ended with its ToolProcess.
    delete m_tool;
}

void QualityScorer::enqueue(SourceList::Id id, const ScoreRequest& request) {
    if (!m_list)
        return;
    m_list->setScore(id, std::nullopt);
    // A row queued again is compared with its newest output only.
    std::erase_if(m_waiting, [id](const auto& waiting) { return waiting.first == id; });
    m_waiting.emplace_back(id, request);
    if (!m_tool)
        startNext();
}

void QualityScorer::clear() {
    m_waiting.clear();
    if (m_tool) {
        ToolProcess* tool = m_tool;
        m_tool = nullptr;
        disconnect(tool, nullptr, this, nullptr);
        tool->kill();
        tool->deleteLater();
        emit idle();
    }
}

void QualityScorer::setSuspended(bool suspended) {
    if (suspended == m_suspended)
        return;
    m_suspended = suspended;
    if (m_tool)
        m_tool->setSuspended(suspended);
    else if (!suspended)
        startNext();
}

void QualityScorer::startNext() {
    if (m_suspended)
        return;
    while (!m_waiting.empty()) {
        const auto [id, request] = m_waiting.front();
        m_waiting.pop_front();
        if (!m_list || !m_list->contains(id))
            continue;
        auto* tool = new ToolProcess(this);
        ToolProcess::Options options;
        options.standardError = ToolProcess::Channel::Keep;
        options.keepBytes = 16 * 1024;
        options.niceness = kScoreNiceness;
        options.deathSignal = SIGKILL;
        options.endsAtQuickExit = true;
        options.quitKey.clear();
        // However slow the machine, a comparison that takes many times the clip's length has
        // gone wrong.
        options.timeLimitMs = static_cast<int>(
            std::min(3600.0, 120.0 + std::max(request.clipLength, 0.0) * 10.0) * 1000);
        connect(tool, &ToolProcess::finished, this, &QualityScorer::onFinished);
        const QString program = m_program.isEmpty() ? ffmpegProgram() : m_program;
        if (!tool->start(scoreArguments(program, request), options)) {
            delete tool;
            emit scored(id, std::nullopt);
            continue;
        }
        m_tool = tool;
        m_current = id;
        return;
    }
    emit idle();
}

void QualityScorer::onFinished(const ToolExit& exit) {
    ToolProcess* tool = m_tool;
    m_tool = nullptr;
    std::optional<OutputScore> score;
    if (tool) {
        if (exit.succeeded())
            score = parseScore(tool->errors());
        tool->deleteLater();
    }
    if (score && m_list)
        m_list->setScore(m_current, score);
    emit scored(m_current, score);
    startNext();
}

} // namespace clipvane
