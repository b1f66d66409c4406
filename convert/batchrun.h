#pragma once

#include "sources/sourcelist.h"

#include <QObject>
#include <QString>
#include <QTimer>
#include <functional>

namespace clipvane {

class OptionSheet;
class ToolKeys;
class DesktopServices;
class MessageBoxes;
struct PlayerState;

// Convert Now: converts every source item, top to bottom, one encoder run at a time, and
// keeps the progress panel, the row statuses and the user informed. The waits sleep in a
// nested event loop, so the window (and its Cancel button) keeps working during a run.
class BatchRun : public QObject {
    Q_OBJECT
public:
    struct Environment {
        SourceList* list = nullptr;
        OptionSheet* sheet = nullptr;
        std::function<int()> profileIndex; // 1-based entry of the picker, 0 when none
        PlayerState* player = nullptr;
        ToolKeys* keys = nullptr;
        DesktopServices* desktop = nullptr;
        MessageBoxes* messages = nullptr;
    };

    explicit BatchRun(const Environment& env, QObject* parent = nullptr);

    // One run over the list; returns when the run has ended. Ignored while a run is going.
    void BurnNow();
    // The Cancel button: asks the running item to stop.
    void Command1_Click();

    bool isRunning() const { return m_running; }
    bool panelVisible() const { return m_panelVisible; }
    QString frameCaption() const { return m_frameCaption; }
    int trackProgress() const { return m_track; }
    int totalProgress() const { return m_total; }
    qint64 elapsedSeconds() const { return m_elapsed; }
    QString elapsedText() const;
    bool timerRunning() const { return m_timer2.isActive(); }
    qint64 encoderProcessId() const { return m_encoderPid; }

    static constexpr const char* kFrameCaption = "Progress....";

signals:
    void panelVisibleChanged(bool visible);
    void frameCaptionChanged(const QString& caption);
    void trackProgressChanged(int value);
    void totalProgressChanged(int value);
    void elapsedTextChanged(const QString& text);
    void busyChanged(bool busy);
    // The encoder of an item has started (for observers such as benchmarks).
    void encoderStarted(qint64 processId);
    void cancelRequested();

private:
    enum class ItemEnd { Next, StopRun };
    ItemEnd convertItem(SourceList::Id id, int index);
    void Timer2_Timer();
    void setPanelVisible(bool visible);
    void setTrack(int value);
    void setTotal(int value);
    void setFrameCaption(const QString& caption);
    void endRunEarly(); // after a cancel or a missing input

    Environment m_env;
    QTimer m_timer2;
    bool m_running = false;
    bool m_cancelRequest = false;
    bool m_panelVisible = false;
    QString m_frameCaption;
    int m_track = 0;
    int m_total = 0;
    int m_completedShare = 0;
    qint64 m_elapsed = 0;
    qint64 m_encoderPid = 0;
    // Settings read when the run starts.
    QString m_outputFolder;
    QString m_existedFile;
    double m_threads = 0;
};

} // namespace clipvane
