#pragma once

#include <QDialog>
#include <QTimer>
#include <functional>
#include <memory>

class QSlider;

namespace Ui {
class CaptureDialog;
}

namespace clipvane {

class CaptureComponent;

// Browse's save dialog: the window and the path shown; the chosen file, empty when cancelled.
using SaveFileChooser = std::function<QString(QWidget* parent, const QString& current)>;

// The capture window: records from a capture device into an AVI file, shows the device's live
// picture and the recording's statistics, and offers the camera's pan, tilt, roll and zoom.
// Every device request goes to the capture component; handlers read the widgets, call it and
// show its answer.
class CaptureDialog : public QDialog {
    Q_OBJECT
public:
    // component: nullptr makes the window use a LinuxCapture of its own. chooseFile: empty
    // means the real save dialog.
    explicit CaptureDialog(QWidget* parent = nullptr, CaptureComponent* component = nullptr,
                           SaveFileChooser chooseFile = {});
    ~CaptureDialog() override;

    void Form_Load();
    void Combo1_Click();
    void Slider_Click(int index);
    void Command5_Click(); // Browse...
    void Command3_Click(); // Preview
    void Command1_Click(); // Start capture
    void Command2_Click(); // Stop capture
    void Command4_Click(); // Exit
    void Timer1_Timer();

    Ui::CaptureDialog* form() const { return ui.get(); }
    CaptureComponent* component() const { return m_vcx; }
    QSlider* slider(int index) const;
    QTimer& timer1() { return m_clock; }

protected:
    // However the window goes (Exit, the close box, Escape): a recording is finished first
    // and the device let go.
    void done(int result) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void showIdle();
    void showRecording();
    void showLiveFrame(const QByteArray& rgb24, int width, int height);

    std::unique_ptr<Ui::CaptureDialog> ui;
    std::unique_ptr<CaptureComponent> m_ownComponent;
    CaptureComponent* m_vcx;
    SaveFileChooser m_chooseFile;
    QTimer m_clock;
    bool m_recording = false; // what the buttons show
};

} // namespace clipvane
