#include "player/previewplayer.h"

#include "base/apppaths.h"
#include "base/textvalues.h"
#include "process/childtools.h"
#include "process/commandline.h"

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

QString playerCommandLine(const QString& programFolder, std::optional<qint64> offset,
                          qint64 windowId, const QString& optionText, const QString& path) {
    QString cmd = quoteArgument(programFolder + QStringLiteral("/mp.dll"));
    if (offset)
        cmd += QStringLiteral(" -ss ") + QString::number(*offset);
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
    m_starter = [](const QString& commandLine) -> qint64 {
        ToolProcess::Options options;
        options.workingDirectory = programFolder(); // the player's working folder
        options.keysOnStdin = true;
        options.toolName = QLatin1String(kPlayerTool);
        // A player has nothing to finish: it ends with the program, however that ends.
        options.deathSignal = SIGKILL;
        options.endsAtQuickExit = true;
        ToolProcess* player = ChildTools::instance().start(commandLine, options);
        return player ? player->processId() : 0;
    };
}

void PreviewPlayer::quitPlayer() {
    if (m_state->playerProcessId == 0)
        return;
    if (m_keys)
        m_keys->sendKey(m_state->playerProcessId, QLatin1String(kPlayerTool), ToolKey::Quit);
    // A player busy elsewhere may miss its key; it is not left playing.
    ChildTools::instance().ensureEnds(m_state->playerProcessId, kQuitGraceMs);
}

void PreviewPlayer::startPlayer(std::optional<qint64> offset, const QString& optionText) {
    const QString commandLine =
        playerCommandLine(programFolder(), offset, m_windowId, optionText, currentSourcePath());
    // A player that cannot start is skipped silently; the clock runs all the same.
    const qint64 pid = m_starter ? m_starter(commandLine) : 0;
    if (pid == 0)
        return;
    m_state->playerProcessId = pid;
    emit playerStarted(pid);
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

void PreviewPlayer::play(const QString& path, const QString& videoTime) {
    quitPlayer();
    sourcePath() = path;
    startPlayer(std::nullopt, m_options.play);
    emit totalTextChanged(QStringLiteral("Total time:") + videoTime);
    m_state->position = 0;
    // An empty or unreadable time keeps the length played before.
    if (const std::optional<qint64> length = parseTimeText(videoTime))
        m_state->length = *length;
    setClockRunning(true);
}

void PreviewPlayer::quit() {
    quitPlayer();
    setClockRunning(false);
}

void PreviewPlayer::tick() {
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
    quitPlayer();
    m_state->position = 0;
    setClockRunning(false);
    emit clockTextChanged(QString());
}

void PreviewPlayer::back() {
    if (m_keys && m_state->playerProcessId != 0)
        m_keys->sendKey(m_state->playerProcessId, QLatin1String(kPlayerTool), ToolKey::Back);
}

void PreviewPlayer::forward() {
    if (m_keys && m_state->playerProcessId != 0)
        m_keys->sendKey(m_state->playerProcessId, QLatin1String(kPlayerTool), ToolKey::Forward);
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
    startPlayer(offset, m_options.play);
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
        startPlayer(m_state->position, m_options.seek);
    } else {
        setClockRunning(false);
    }
}

} // namespace clipvane
