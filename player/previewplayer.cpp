#include "player/previewplayer.h"

#include "base/apppaths.h"
#include "base/textvalues.h"
#include "process/childtools.h"
#include "process/commandline.h"
#include "process/toolpaths.h"

#include <QCoreApplication>
#include <algorithm>
#include <cmath>
#include <csignal>

namespace clipvane {

PlayerOptionTexts PlayerOptionTexts::preview() {
    return {QStringLiteral(" -priority   abovenormal   -framedrop   -colorkey  0  -nokeepaspect   "
                           "-framedrop   -autosync   100   -vo gl2  -vf   screenshot "),
            QStringLiteral(" -priority   abovenormal   -framedrop   -colorkey  0  -nokeepaspect   "
                           "-framedrop   -autosync   100    -vo gl2 -vf   screenshot "),
            QStringLiteral(" -priority   abovenormal   -framedrop   -colorkey  0  -nokeepaspect   "
                           "-framedrop   -autosync   100    -vo gl2  -vf   screenshot ")};
}

PlayerOptionTexts PlayerOptionTexts::clipDialog() {
    const QString a =
        QStringLiteral(" -priority   abovenormal   -framedrop   -colorkey  0  -nokeepaspect   "
                       "-framedrop   -autosync   100   -vo gl2   -vf   screenshot ");
    const QString b =
        QStringLiteral(" -priority   abovenormal   -framedrop   -colorkey  0  -nokeepaspect   "
                       "-framedrop   -autosync   100    -vo gl2  -vf   screenshot ");
    return {a, b, a};
}

QString playerCommandLine(const QString& programFolder, std::optional<qint64> offsetCentiseconds,
                          qint64 windowId, const QString& optionText, const QString& path) {
    QString cmd = quoteArgument(programFolder + QStringLiteral("/mp.dll"));
    if (offsetCentiseconds)
        cmd += QStringLiteral(" -ss ") + secondsText(*offsetCentiseconds);
    // The number keeps a blank where a sign would go.
    cmd += QStringLiteral(" -wid ") + (windowId >= 0 ? QStringLiteral(" ") : QString()) +
           QString::number(windowId);
    cmd += optionText;
    cmd += quoteArgument(path);
    return cmd;
}

PreviewPlayer::PreviewPlayer(PlayerState* state, ToolKeys* keys, PlayerOptionTexts options,
                             QObject* parent)
    : QObject(parent), m_state(state), m_keys(keys), m_options(std::move(options)) {
    m_clock.setObjectName(QStringLiteral("previewClock"));
    m_clock.setInterval(1000);
    connect(&m_clock, &QTimer::timeout, this, &PreviewPlayer::tick);
    m_starter = [this](const QString& commandLine) -> qint64 {
        ToolProcess::Options options;
        options.workingDirectory = programFolder(); // the player's working folder
        options.keysOnStdin = true;
        options.toolName = QLatin1String(kPlayerTool);
        // Its status records say where it is; read as they come, or the player stalls once
        // the pipe is full.
        options.standardOutput = ToolProcess::Channel::Keep;
        options.keepBytes = 0;
        // A player has nothing to finish: it ends with the program, however that ends.
        options.deathSignal = SIGKILL;
        options.endsAtQuickExit = true;
        ToolProcess* player = ChildTools::instance().start(commandLine, options);
        if (!player)
            return 0;
        const qint64 pid = player->processId();
        connect(player, &ToolProcess::outputRead, this,
                [this, pid](const QByteArray& piece) { takeOutput(pid, piece); });
        connect(player, &ToolProcess::finished, this, [this, pid] { takeEnd(pid); });
        return pid;
    };
}

void PreviewPlayer::quitPlayer() {
    // What the player says from now on, and its end, are not news: it was told to go.
    m_playerId = 0;
    if (m_state->playerProcessId == 0)
        return;
    if (m_keys)
        m_keys->sendKey(m_state->playerProcessId, QLatin1String(kPlayerTool), ToolKey::Quit);
    // A player busy elsewhere may miss its key; it is not left playing.
    ChildTools::instance().ensureEnds(m_state->playerProcessId, kQuitGraceMs);
}

void PreviewPlayer::startPlayer(std::optional<qint64> offsetCentiseconds,
                                const QString& optionText) {
    const QString commandLine = playerCommandLine(programFolder(), offsetCentiseconds, m_windowId,
                                                  optionText, currentSourcePath());
    // Whatever the old player says from now on is not about this one.
    m_playerId = 0;
    m_status = PlayerStatusReader();
    m_reported.reset();
    m_paused = false;
    m_frameTime.reset();
    cancelSteps();
    // A player that cannot start is skipped silently; the clock runs all the same.
    const qint64 pid = m_starter ? m_starter(commandLine) : 0;
    if (pid == 0)
        return;
    m_playerId = pid;
    m_showNextReport = true;
    m_state->playerProcessId = pid;
    // The clock counts against the length of the file this player plays.
    if (m_sourceLength)
        m_state->length = *m_sourceLength / 100;
    showTotal();
    emit playerStarted(pid);
}

void PreviewPlayer::setSourceLength(std::optional<qint64> length) {
    m_sourceLength = length;
    showTotal();
}

void PreviewPlayer::showTotal() {
    if (m_sourceLength)
        emit totalTextChanged(QCoreApplication::translate("PreviewPlayer", "Total time:") +
                              clipTimeText(*m_sourceLength));
}

void PreviewPlayer::takeEnd(qint64 processId) {
    if (processId == 0 || processId != m_playerId)
        return;
    m_playerId = 0;
    cancelSteps();
    setClockRunning(false);
    emit playerEnded();
}

void PreviewPlayer::setClockRunning(bool running) {
    if (running == m_clock.isActive())
        return;
    if (running)
        m_clock.start();
    else
        m_clock.stop();
}

void PreviewPlayer::showPosition() {
    // A length of 0 or a position past the length never puts the slider out of its range.
    if (m_state->length > 0) {
        const double percent =
            static_cast<double>(m_state->position) / static_cast<double>(m_state->length) * 100.0;
        emit sliderValueChanged(static_cast<int>(std::clamp(roundHalfEven(percent), 0LL, 100LL)));
    }
    emit clockTextChanged(timeText(m_state->position));
}

void PreviewPlayer::showFrameTime() {
    const double time = *m_frameTime;
    m_state->position = static_cast<qint64>(std::floor(time + 1e-6));
    showPosition();
    emit clockTextChanged(clipTimeText(roundHalfEven(time * 100)));
}

std::optional<double> PreviewPlayer::reportedPosition() const {
    return m_frameTime ? m_frameTime : m_reported;
}

void PreviewPlayer::takeOutput(qint64 processId, const QByteArray& piece) {
    if (processId == 0 || processId != m_playerId)
        return;
    for (const PlayerReport& report : m_status.read(piece))
        onReport(report);
}

void PreviewPlayer::onReport(const PlayerReport& report) {
    switch (report.kind) {
    case PlayerReport::Position:
        m_reported = report.seconds;
        m_paused = false;
        if (m_stepTarget < 0 && m_frameTime)
            m_frameTime.reset(); // playing again
        // A player that plays has a running clock (after a seek from a stopped clock, say).
        if (m_stepTarget < 0 && !m_clock.isActive() &&
            static_cast<qint64>(std::floor(report.seconds + 1e-6)) < m_state->length)
            setClockRunning(true);
        if (m_showNextReport && m_stepTarget < 0) {
            // Where a start or a seek really landed (a keyframe, not always the time asked).
            m_showNextReport = false;
            m_state->position = static_cast<qint64>(std::floor(report.seconds + 1e-6));
            showPosition();
        }
        break;
    case PlayerReport::Paused:
        m_paused = true;
        if (m_stepTarget >= 0) {
            if (m_stepsToSend > 0) {
                --m_stepsToSend;
                if (m_keys)
                    m_keys->sendKey(m_playerId, QLatin1String(kPlayerTool), ToolKey::FrameStep);
                return;
            }
            // The last step has been taken: the picture is the frame asked for.
            m_frameTime = m_stepTarget;
            m_stepTarget = -1;
            showFrameTime();
            emit frameStepsDone();
            return;
        }
        // The clock stops where the player did.
        setClockRunning(false);
        if (m_reported) {
            m_state->position = static_cast<qint64>(std::floor(*m_reported + 1e-6));
            showPosition();
        }
        break;
    case PlayerReport::Ended:
        setClockRunning(false);
        break;
    }
}

void PreviewPlayer::play(const QString& path, std::optional<qint64> length) {
    quitPlayer();
    sourcePath() = path;
    m_sourceLength = length;
    startPlayer(std::nullopt, m_options.play);
    if (!length) // an unknown length: no total, and the clock counts against the one before
        emit totalTextChanged(QCoreApplication::translate("PreviewPlayer", "Total time:"));
    else if (m_playerId == 0)
        showTotal(); // no player: the total shows all the same
    m_state->position = 0;
    if (length)
        m_state->length = *length / 100;
    setClockRunning(true);
}

void PreviewPlayer::quit() {
    cancelSteps();
    quitPlayer();
    setClockRunning(false);
}

void PreviewPlayer::quitThen(std::function<void()> done) {
    const qint64 pid = m_state->playerProcessId;
    quit();
    ToolProcess* player = ChildTools::instance().find(pid, QLatin1String(kPlayerTool));
    if (!player) {
        done();
        return;
    }
    // Queued: the player's own end is handled in full before the caller goes on.
    connect(player, &ToolProcess::finished, this, std::move(done), Qt::QueuedConnection);
}

void PreviewPlayer::cancelSteps() {
    m_stepTarget = -1;
    m_stepsToSend = 0;
    m_keyframeLookup.reset();
}

void PreviewPlayer::tick() {
    if (m_frameTime || m_stepTarget >= 0)
        return; // a stepped frame shows its own time
    // The player's own position once it has reported one; until then the clock counts.
    if (m_reported)
        m_state->position = static_cast<qint64>(std::floor(*m_reported + 1e-6));
    else
        ++m_state->position;
    showPosition();
    if (m_state->position >= m_state->length)
        setClockRunning(false);
}

void PreviewPlayer::pause() {
    if (m_keys && m_state->playerProcessId != 0)
        m_keys->sendKey(m_state->playerProcessId, QLatin1String(kPlayerTool), ToolKey::Pause);
    setClockRunning(!m_clock.isActive());
}

void PreviewPlayer::stop() {
    cancelSteps();
    quitPlayer();
    m_state->position = 0;
    setClockRunning(false);
    emit clockTextChanged(QString());
}

void PreviewPlayer::back() {
    if (m_keys && m_state->playerProcessId != 0)
        m_keys->sendKey(m_state->playerProcessId, QLatin1String(kPlayerTool), ToolKey::Back);
    m_showNextReport = true; // the jump shows as soon as the player has made it
}

void PreviewPlayer::forward() {
    if (m_keys && m_state->playerProcessId != 0)
        m_keys->sendKey(m_state->playerProcessId, QLatin1String(kPlayerTool), ToolKey::Forward);
    m_showNextReport = true;
}

void PreviewPlayer::firstFrame() {
    quitPlayer();
    startPlayer(std::nullopt, m_options.firstFrame);
    m_state->position = 0;
    setClockRunning(true);
}

void PreviewPlayer::lastFrames() {
    quitPlayer();
    // The last few seconds: at the length itself the player has nothing left to show.
    const qint64 offset = std::max<qint64>(0, m_state->length - kLastFramesLead);
    startPlayer(offset * 100, m_options.play);
    m_state->position = offset;
    showPosition();
    setClockRunning(true);
}

void PreviewPlayer::seek(int sliderValue) {
    const double target =
        static_cast<double>(static_cast<qint64>(sliderValue) * m_state->length) / 100.0;
    m_state->position = roundHalfEven(target);
    emit clockTextChanged(timeText(m_state->position));
    if (m_state->position < m_state->length) {
        quitPlayer();
        startPlayer(m_state->position * 100, m_options.seek);
    } else {
        setClockRunning(false);
    }
}

void PreviewPlayer::seekTo(qint64 centiseconds) {
    centiseconds = std::max<qint64>(0, centiseconds);
    quitPlayer();
    startPlayer(centiseconds, m_options.seek);
    m_state->position = centiseconds / 100;
    emit clockTextChanged(clipTimeText(centiseconds));
}

void PreviewPlayer::stepFrame(int direction) {
    if (!m_paused || m_frameRate <= 0 || m_stepTarget >= 0 || m_playerId == 0 || !m_keys)
        return;
    const double frame = 1.0 / m_frameRate;
    if (m_frameTime && direction > 0) {
        // On from a frame known exactly: the player's own step.
        m_stepTarget = *m_frameTime + frame;
        m_stepsToSend = 0;
        m_keys->sendKey(m_playerId, QLatin1String(kPlayerTool), ToolKey::FrameStep);
        return;
    }
    // Back (the player cannot step back), or the first step (the player reports its position
    // only to a tenth, and ahead of the picture): the player starts again at a keyframe before
    // the frame and steps on from there, counting frames. The prober finds the keyframe.
    const double base =
        m_frameTime ? *m_frameTime : std::round(m_reported.value_or(0.0) * m_frameRate) * frame;
    const double target = base + (direction > 0 ? frame : -frame);
    // The very first frame cannot be stepped to: a step shows the frame after its start.
    if (target < frame / 2)
        return;
    m_stepTarget = std::max(0.0, target);
    m_keyframeLookup = std::make_unique<ToolProcess>();
    connect(m_keyframeLookup.get(), &ToolProcess::finished, this, [this, frame] {
        double keyframe = 0;
        const QList<QByteArray> lines = m_keyframeLookup->output().split('\n');
        for (const QByteArray& line : lines) {
            bool ok = false;
            const double time = line.trimmed().toDouble(&ok);
            // Before the frame: a step from the keyframe shows the frame after it.
            if (ok && time <= m_stepTarget - frame / 2 && time > keyframe)
                keyframe = time;
        }
        m_keyframeLookup.release()->deleteLater();
        const double target = m_stepTarget;
        stepBackFrom(keyframe, target);
    });
    ToolProcess::Options options;
    options.standardOutput = ToolProcess::Channel::Keep;
    options.keepBytes = 256 * 1024;
    options.deathSignal = SIGKILL;
    options.endsAtQuickExit = true;
    options.timeLimitMs = 10000;
    const double from = std::max(0.0, m_stepTarget - kKeyframeSearchSeconds);
    const QStringList arguments{
        ffprobeProgram(),
        QStringLiteral("-v"),
        QStringLiteral("error"),
        QStringLiteral("-select_streams"),
        QStringLiteral("v:0"),
        QStringLiteral("-skip_frame"),
        QStringLiteral("nokey"),
        QStringLiteral("-show_entries"),
        QStringLiteral("frame=pts_time"),
        QStringLiteral("-of"),
        QStringLiteral("csv=p=0"),
        QStringLiteral("-read_intervals"),
        QStringLiteral("%1%%2").arg(from, 0, 'f', 3).arg(m_stepTarget, 0, 'f', 3),
        QStringLiteral("--"),
        currentSourcePath()};
    if (!m_keyframeLookup->start(arguments, options)) {
        m_keyframeLookup.reset();
        stepBackFrom(0, m_stepTarget);
    }
}

void PreviewPlayer::stepBackFrom(double keyframe, double target) {
    const int steps = std::max(1, static_cast<int>(std::lround((target - keyframe) * m_frameRate)));
    quitPlayer();
    startPlayer(static_cast<qint64>(std::floor(keyframe * 100)), m_options.seek);
    if (m_playerId == 0) {
        m_stepTarget = -1;
        return;
    }
    // The first step goes at once; each further one when the player has paused on the last.
    m_stepTarget = target;
    m_stepsToSend = steps - 1;
    m_keys->sendKey(m_playerId, QLatin1String(kPlayerTool), ToolKey::FrameStep);
}

} // namespace clipvane
