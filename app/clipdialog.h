#pragma once

#include "clip/clipsession.h"

#include <QDialog>
#include <memory>

namespace Ui {
class ClipDialog;
}

namespace clipvane {

class MessageBoxes;

// The clip time dialog: the start and end of the stretch of one file to convert, chosen with
// two sliders while the file plays in the dialog's own player. Slots read the widgets, call
// the ClipSession and show its answer.
class ClipDialog : public QDialog {
    Q_OBJECT
public:
    ClipDialog(const ClipOpening& opening, PlayerState* player, ToolKeys* keys, SourceList* list,
               MessageBoxes* messages, QWidget* parent = nullptr);
    ~ClipDialog() override;

    // The opening row's times, the sliders' range and the caption.
    void loadClip();

    Ui::ClipDialog* ui() const { return m_ui.get(); }
    ClipSession& session() { return m_session; }

public slots:
    // OK (and Enter): a start at or after the end is refused and the dialog stays open;
    // otherwise the times go to the row.
    void accept() override;
    // Cancel, Escape and the close box: nothing is written.
    void reject() override;
    void onStartSliderReleased();
    void onEndSliderReleased();
    // A time typed into the start or end box, taken on Enter or when the box is left.
    void applyTypedStart();
    void applyTypedEnd();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    // "," and "." step the paused picture one frame back or on.
    void keyPressEvent(QKeyEvent* event) override;

private:
    void showTimes();
    void applyTypedTime(ClipSession::Edge edge);

    std::unique_ptr<Ui::ClipDialog> m_ui;
    ClipSession m_session;
    SourceList* m_list;
    MessageBoxes* m_messages;
    std::optional<qint64> m_videoTime; // the file's length, as the row shows it
};

} // namespace clipvane
