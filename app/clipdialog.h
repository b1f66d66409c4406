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
// two sliders while the file plays in the dialog's own player. Handlers read the widgets,
// call the ClipSession and show its answer.
class ClipDialog : public QDialog {
    Q_OBJECT
public:
    ClipDialog(const ClipOpening& opening, PlayerState* player, ToolKeys* keys, SourceList* list,
               MessageBoxes* messages, QWidget* parent = nullptr);
    ~ClipDialog() override;

    void Form_Load();
    void Slider1_MouseUp();
    void Slider2_MouseUp();
    void Slider3_MouseUp();
    void Command1_Click(); // OK
    void Command2_Click(); // Cancel
    void cmdPlay_Click();
    void cmdPause_Click();
    void cmdStop_Click();
    void cmdBack_Click();
    void cmdForward_Click();
    void Command4_Click();
    void Command5_Click();

    Ui::ClipDialog* form() const { return ui.get(); }
    ClipSession& session() { return m_session; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void showTexts();

    std::unique_ptr<Ui::ClipDialog> ui;
    ClipSession m_session;
    SourceList* m_list;
    MessageBoxes* m_messages;
    QString m_lengthText;
};

} // namespace clipvane
