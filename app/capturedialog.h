#pragma once

#include "capture/capturecomponent.h"

#include <QDialog>
#include <QTimer>
#include <functional>
#include <memory>
#include <optional>

class QSlider;

namespace Ui {
class CaptureDialog;
}

namespace clipvane {

// Browse's save dialog: the window and the path shown; the chosen file, empty when cancelled.
using SaveFileChooser = std::function<QString(QWidget* parent, const QString& current)>;

// The capture window: records from a capture device into an AVI file, with the sound source,
// picture size and rate the user picks, shows the device's live picture and the recording's
// statistics, and offers the camera's pan, tilt, roll and zoom where the device has them.
// Every device request goes to the capture component; slots read the widgets, call it and
// show its answer. The window never waits for the component: lists that come in later fill
// the pickers then, and a stopped recording is finished and checked in the background
// (Start capture waits for that) and its outcome shown when it comes.
class CaptureDialog : public QDialog {
    Q_OBJECT
public:
    // capture: nullptr makes the window use a LinuxCapture of its own. chooseFile: empty
    // means the real save dialog.
    explicit CaptureDialog(QWidget* parent = nullptr, CaptureComponent* capture = nullptr,
                           SaveFileChooser chooseFile = {});
    ~CaptureDialog() override;

    // Lists the devices and connects the first (again when the first devices come in later).
    void loadDevices();

    Ui::CaptureDialog* ui() const { return m_ui.get(); }
    CaptureComponent* capture() const { return m_capture; }
    QSlider* cameraSlider(CaptureComponent::CameraProperty property) const;

public slots:
    void selectDevice();
    void selectSoundSource();
    void selectFrameSize();
    void selectFrameRate();
    void applyCameraControl(CaptureComponent::CameraProperty property);
    void browseCaptureFile();
    void showLivePicture();
    void startCapture();
    void stopCapture();
    void exitCapture();
    void refreshStatistics();

protected:
    // However the window goes (Exit, the close box, Escape): a recording is finished first
    // (the window goes once its file is finished and checked; asked again meanwhile, at
    // once) and the device let go. Exit stays when the recording it ends could not be saved,
    // so that the statistics line can say why.
    void done(int result) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void fillFrameRates();
    void fillSoundSources(int current);
    void refreshLists();
    void showRecordingOutcome();
    void showIdle();
    void showRecording();
    void showLiveFrame(const QByteArray& rgb24, int width, int height);

    std::unique_ptr<Ui::CaptureDialog> m_ui;
    std::unique_ptr<CaptureComponent> m_ownCapture;
    CaptureComponent* m_capture;
    SaveFileChooser m_chooseFile;
    QTimer m_statisticsTimer;
    bool m_recording = false;      // what the buttons show
    bool m_listed = false;         // the pickers show the component's lists
    QList<FrameRate> m_shownRates; // what the rate picker offers
    // What comes once the recording is finished: Exit's accept (unless it failed), or the
    // window's close with this result.
    bool m_exitWhenFinished = false;
    std::optional<int> m_closeWhenFinished;
};

} // namespace clipvane
