#pragma once

#include <QFrame>
#include <QPoint>
#include <memory>

namespace Ui {
class ProgressPanel;
}

namespace clipvane {

class BatchProgress;
class BatchRun;

// The batch's progress, floating over the main window: the current file, the converting
// clock, a bar for the item and one for the whole list, the time left, the shutdown notice
// and Cancel. It shows itself while a run goes (centred the first time, where the user left
// it after that) and can be dragged by any part that is not a button; however far it is
// dragged, its top strip stays in the window, so Cancel can always be reached.
class ProgressPanel : public QFrame {
    Q_OBJECT
public:
    explicit ProgressPanel(QWidget* parent = nullptr);
    ~ProgressPanel() override;

    // Shows the run's figures; Pause follows the run.
    void bind(BatchRun* run, BatchProgress* progress);
    Ui::ProgressPanel* ui() const { return m_ui.get(); }
    bool isDragging() const { return m_dragging; }

    // The part that stays in the window however far the panel is dragged.
    static constexpr int kGripStrip = 24;

signals:
    void cancelRequested();
    void pauseRequested(bool paused);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void showForRun(bool visible);
    void showPaused(bool paused);

    std::unique_ptr<Ui::ProgressPanel> m_ui;
    QPoint m_dragOffset; // where in the panel the drag took hold
    bool m_dragging = false;
    bool m_placed = false;
};

} // namespace clipvane
using clipvane::ProgressPanel;
