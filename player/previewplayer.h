#pragma once

#include "player/playerstate.h"
#include "player/playerstatus.h"
#include "process/toolprocess.h"

#include <QObject>
#include <QString>
#include <QTimer>
#include <functional>
#include <memory>
#include <optional>

namespace clipvane {

class ToolKeys;

// The option texts a player is started with: one for Play and Last Frames, one for First
// Frame, one for a seek. They differ only in blanks; split, all give the same arguments.
struct PlayerOptionTexts {
    QString play;
    QString firstFrame;
    QString seek;
    // The main window's preview.
    static PlayerOptionTexts preview();
    // The clip dialog's player (its texts "A" for Play, Last Frames and seeks, "B" for First
    // Frame).
    static PlayerOptionTexts clipDialog();
};

// The player command line: the quoted player tool, " -ss " and the offset (for Last Frames
// and seeks; whole seconds as a plain number, a fraction to the hundredth), " -wid " and the
// surface's window id after a sign blank, the option text, and the quoted file.
QString playerCommandLine(const QString& programFolder, std::optional<qint64> offsetCentiseconds,
                          qint64 windowId, const QString& optionText, const QString& path);

// A preview player: it starts the player tool drawing into a surface, steers it with key
// presses, and shows the position the player itself reports (its status records on standard
// output); a one-second tick repaints the clock, and counts on its own only while the player
// has reported nothing (a player that says nothing still gets a clock). It owns no widgets:
// the window shows what the signals say and calls the operations from its slots. Two players
// (the preview and the clip dialog's) share one PlayerState.
class PreviewPlayer : public QObject {
    Q_OBJECT
public:
    // Starts a player command line without a shell and without waiting; the process id, or 0
    // when it could not be started. The real one passes the player's output to takeOutput().
    using Starter = std::function<qint64(const QString& commandLine)>;

    PreviewPlayer(PlayerState* state, ToolKeys* keys, PlayerOptionTexts options,
                  QObject* parent = nullptr);

    void setSurface(qint64 windowId) { m_windowId = windowId; }
    // Tests replace the real start (the child-tool layer, in the program folder).
    void setStarter(Starter starter) { m_starter = std::move(starter); }
    // The file First Frame, Last Frames and seeks play (Play and a click on a row set it).
    // The preview keeps it in the shared state; a player with a file of its own (the clip
    // dialog's) keeps it here.
    void setSourcePath(const QString& path) { sourcePath() = path; }
    // The length of that file as the list shows it, in hundredths (nothing: unknown). The total
    // time shows it at once, and every player started on the file counts its clock against it.
    void setSourceLength(std::optional<qint64> length);
    void setKeepsOwnPath(bool own) { m_keepsOwnPath = own; }
    QString currentSourcePath() const {
        return m_keepsOwnPath ? m_ownPath : m_state->selectedSourcePath;
    }
    // The picture's frames per second, for frame steps (0: unknown, no steps).
    void setFrameRate(double framesPerSecond) { m_frameRate = framesPerSecond; }

    // Play a file from its start; length is its length as the list shows it, in hundredths.
    void play(std::optional<qint64> length) { play(currentSourcePath(), length); }
    void play(const QString& path, std::optional<qint64> length);
    void pause();
    void stop();
    void back();
    void forward();
    void firstFrame();
    void lastFrames();
    // The slider let go at sliderValue (0-100).
    void seek(int sliderValue);
    // Plays from a time to the hundredth (a typed clip time).
    void seekTo(qint64 centiseconds);
    // While the player is paused: one frame on (+1) or back (-1). The clock shows the frame's
    // time to the hundredth once the picture is there (frameStepsDone).
    void stepFrame(int direction);
    // The clock's second.
    void tick();
    // A piece of what the player with that process id wrote on its standard output.
    void takeOutput(qint64 processId, const QByteArray& piece);
    // The player with that process id has ended. The one playing now (not one told to quit)
    // stops the clock and says so (playerEnded).
    void takeEnd(qint64 processId);
    // Whether a player this object started still runs, as far as it knows.
    bool playerRunning() const { return m_playerId != 0; }

    bool clockRunning() const { return m_clock.isActive(); }
    // Whether the player says it is paused.
    bool playerPaused() const { return m_paused; }
    // The position the player last reported for the picture, if it has reported one since it
    // was started; after frame steps, the frame's exact time.
    std::optional<double> reportedPosition() const;
    // Ends the clock and the player, as leaving a window that shows one does: the player is
    // sent "q", then terminated and killed should it not end (see ChildTools::ensureEnds).
    void quit();
    // quit(), and done runs once the player has ended (at once when none runs); it is not run
    // when this object goes first.
    void quitThen(std::function<void()> done);
    // Sets the clock without showing it (a window that opens afresh).
    void setClock(qint64 position, qint64 length) {
        m_state->position = position;
        m_state->length = length;
    }
    const PlayerState& state() const { return *m_state; }

    // How far before the end Last Frames starts: at the very end the player shows nothing.
    static constexpr qint64 kLastFramesLead = 3;
    // How long a player has to quit after "q" before it is ended.
    static constexpr int kQuitGraceMs = 1500;
    // How far before a frame a step back looks for the keyframe to start from.
    static constexpr double kKeyframeSearchSeconds = 20;

signals:
    // The position as H:MM:SS (H:MM:SS.cc for a stepped frame; empty after Stop), the position
    // in percent of the length for the position slider, and "Total time:" with the length.
    void clockTextChanged(const QString& text);
    void sliderValueChanged(int value);
    void totalTextChanged(const QString& text);
    // A player was started: the program folder is now its working folder.
    void playerStarted(qint64 processId);
    // Frame steps are done: the picture shows the frame the clock names.
    void frameStepsDone();
    // The player ended by itself (at the end of its file, or failing): its last picture is
    // all the surface has; nothing will draw it again.
    void playerEnded();

private:
    QString& sourcePath() { return m_keepsOwnPath ? m_ownPath : m_state->selectedSourcePath; }
    void quitPlayer();
    void startPlayer(std::optional<qint64> offsetCentiseconds, const QString& optionText);
    void setClockRunning(bool running);
    void showTotal();
    void showPosition();
    void showFrameTime();
    void onReport(const PlayerReport& report);
    void stepBackFrom(double keyframe, double target);
    void cancelSteps();

    PlayerState* m_state;
    ToolKeys* m_keys;
    PlayerOptionTexts m_options;
    Starter m_starter;
    qint64 m_windowId = 0;
    QTimer m_clock;
    bool m_keepsOwnPath = false;
    QString m_ownPath;
    std::optional<qint64> m_sourceLength; // hundredths, of the file a player starts on

    // What the running player has said since it started.
    qint64 m_playerId = 0;
    PlayerStatusReader m_status;
    std::optional<double> m_reported;
    bool m_paused = false;
    bool m_showNextReport = false; // a start or a seek: show where the player lands
    // Frame steps.
    double m_frameRate = 0;
    std::optional<double> m_frameTime; // the shown frame's exact time, once stepped
    int m_stepsToSend = 0;             // steps still to take, one per pause of the player
    double m_stepTarget = -1;          // the frame steps are going to, while they go
    std::unique_ptr<ToolProcess> m_keyframeLookup;
};

} // namespace clipvane
