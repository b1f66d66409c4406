#include "convert/qualityscore.h"

#include "process/toolpaths.h"
#include "process/toolprocess.h"

#include <QRegularExpression>
#include <algorithm>
#include <csignal>
#include <limits>

namespace clipvane {

namespace {

QString secondsText(double seconds) {
    return QString::number(std::max(0.0, seconds), 'f', 3);
}

} // namespace

QStringList scoreArguments(const QString& program, const ScoreRequest& request) {
    QStringList args{program, QStringLiteral("-hide_banner"), QStringLiteral("-nostdin"),
                     QStringLiteral("-nostats")};
    // The source from the clip's start (decoded up to it, so that the first frame is the
    // clip's), the output from its own start; both for the clip's length.
    if (request.clipStart > 0)
        args << QStringLiteral("-ss") << secondsText(request.clipStart);
    if (request.clipLength > 0)
        args << QStringLiteral("-t") << secondsText(request.clipLength);
    args << QStringLiteral("-i") << request.source;
    if (request.clipLength > 0)
        args << QStringLiteral("-t") << secondsText(request.clipLength);
    args << QStringLiteral("-i") << request.output;
    // The same instants of both (timestamps from 0, a few frames a second); the output at its
    // display size with square pixels, the source scaled to match it.
    const QString sample = QStringLiteral("setpts=PTS-STARTPTS,fps=%1").arg(kScoredFramesPerSecond);
    const QString graph =
        QStringLiteral("[1:v:0]%1,scale='trunc(iw*sar/2)*2':ih,setsar=1,format=yuv420p[out];"
                       "[0:v:0]%1[src];"
                       "[src][out]scale2ref[scaled][ref];"
                       "[scaled]setsar=1,format=yuv420p,split[s1][s2];"
                       "[ref]split[o1][o2];"
                       "[o1][s1]ssim;[o2][s2]psnr")
            .arg(sample);
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
