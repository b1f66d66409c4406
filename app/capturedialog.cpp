#include "app/capturedialog.h"

#include "app/skin.h"
#include "capture/capturetext.h"
#include "capture/linuxcapture.h"
#include "ui_capturedialog.h"

#include <QFileDialog>
#include <QMouseEvent>
#include <QPixmap>

namespace clipvane {
namespace {

QString showSaveDialog(QWidget* parent, const QString& current) {
    // The name is taken as given: no extension is added and an existing file is not asked
    // about (Start capture never overwrites one).
    return QFileDialog::getSaveFileName(parent, QStringLiteral("Save Video File"), current,
                                        QStringLiteral("Avi Video file (*.avi)"), nullptr,
                                        QFileDialog::DontConfirmOverwrite |
                                            QFileDialog::DontResolveSymlinks);
}

constexpr CaptureComponent::CameraProperty kCameraProperties[] = {
    CaptureComponent::Pan, CaptureComponent::Tilt, CaptureComponent::Roll, CaptureComponent::Zoom};

} // namespace

CaptureDialog::CaptureDialog(QWidget* parent, CaptureComponent* capture, SaveFileChooser chooseFile)
    : QDialog(parent), m_ui(std::make_unique<Ui::CaptureDialog>()),
      m_ownCapture(capture ? nullptr : std::make_unique<LinuxCapture>()),
      m_capture(capture ? capture : m_ownCapture.get()),
      m_chooseFile(chooseFile ? std::move(chooseFile) : SaveFileChooser(showSaveDialog)) {
    m_ui->setupUi(this);
    setModal(true);
    applySkin(this);
    m_ui->captureFileEdit->setText(defaultCaptureFile());

    // The picture area is black until the live picture comes.
    m_ui->livePictureLabel->setAutoFillBackground(true);
    QPalette black = m_ui->livePictureLabel->palette();
    black.setColor(QPalette::Window, Qt::black);
    m_ui->livePictureLabel->setPalette(black);

    // The camera sliders send their value when clicked; keys move only the slider.
    for (const auto property : kCameraProperties)
        cameraSlider(property)->installEventFilter(this);

    connect(m_ui->deviceCombo, &QComboBox::currentIndexChanged, this, &CaptureDialog::selectDevice);
    connect(m_ui->browseButton, &QPushButton::clicked, this, &CaptureDialog::browseCaptureFile);
    connect(m_ui->previewButton, &QPushButton::clicked, this, &CaptureDialog::showLivePicture);
    connect(m_ui->startCaptureButton, &QPushButton::clicked, this, &CaptureDialog::startCapture);
    connect(m_ui->stopCaptureButton, &QPushButton::clicked, this, &CaptureDialog::stopCapture);
    connect(m_ui->exitButton, &QPushButton::clicked, this, &CaptureDialog::exitCapture);
    connect(&m_statisticsTimer, &QTimer::timeout, this, &CaptureDialog::refreshStatistics);
    connect(m_capture, &CaptureComponent::liveFrame, this, &CaptureDialog::showLiveFrame);

    m_statisticsTimer.start(500);
}

CaptureDialog::~CaptureDialog() = default;

QSlider* CaptureDialog::cameraSlider(CaptureComponent::CameraProperty property) const {
    switch (property) {
    case CaptureComponent::Pan:
        return m_ui->panSlider;
    case CaptureComponent::Tilt:
        return m_ui->tiltSlider;
    case CaptureComponent::Roll:
        return m_ui->rollSlider;
    case CaptureComponent::Zoom:
        break;
    }
    return m_ui->zoomSlider;
}

void CaptureDialog::loadDevices() {
    {
        const QSignalBlocker quiet(m_ui->deviceCombo);
        m_ui->deviceCombo->clear();
        for (int i = 0; i < m_capture->deviceCount(); ++i)
            m_ui->deviceCombo->addItem(m_capture->deviceName(i));
    }
    const bool any = m_ui->deviceCombo->count() > 0;
    for (QPushButton* b : {m_ui->startCaptureButton, m_ui->stopCaptureButton, m_ui->previewButton})
        b->setEnabled(any);
    if (!any)
        return;
    {
        const QSignalBlocker quiet(m_ui->deviceCombo);
        m_ui->deviceCombo->setCurrentIndex(0);
    }
    selectDevice();
}

void CaptureDialog::selectDevice() {
    const int index = m_ui->deviceCombo->currentIndex();
    if (index < 0)
        return;
    m_capture->setConnected(false);
    m_capture->setDeviceIndex(index);
    m_capture->setConnected(true);
    for (const auto property : kCameraProperties) {
        QSlider* s = cameraSlider(property);
        const auto range = m_capture->cameraRange(property);
        s->setEnabled(range.has_value());
        if (!range)
            continue;
        s->setRange(range->minimum, range->maximum);
        s->setValue(m_capture->cameraValue(property));
    }
}

bool CaptureDialog::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonRelease) {
        auto* released = static_cast<QMouseEvent*>(event);
        for (const auto property : kCameraProperties) {
            QSlider* s = cameraSlider(property);
            // A click: let go over the slider. Handled once the slider has taken the release.
            if (watched == s && s->rect().contains(released->position().toPoint()))
                QTimer::singleShot(0, this, [this, property] { applyCameraControl(property); });
        }
    }
    return QDialog::eventFilter(watched, event);
}

void CaptureDialog::applyCameraControl(CaptureComponent::CameraProperty property) {
    if (cameraSlider(property)->isEnabled())
        m_capture->setCameraValue(property, cameraSlider(property)->value());
}

void CaptureDialog::browseCaptureFile() {
    const QString chosen = m_chooseFile(this, m_ui->captureFileEdit->text());
    if (!chosen.isEmpty())
        m_ui->captureFileEdit->setText(chosen);
}

void CaptureDialog::showLivePicture() {
    if (m_ui->deviceCombo->count() == 0)
        return;
    m_capture->setLivePicture(true);
}

void CaptureDialog::startCapture() {
    if (m_ui->deviceCombo->count() == 0)
        return;
    m_capture->setFileName(m_ui->captureFileEdit->text());
    m_capture->setLivePicture(true);
    if (!m_capture->startRecording()) {
        showIdle();
        m_ui->statisticsLabel->setText(m_capture->errorText());
        return;
    }
    // The file actually recorded into: an existing one is never overwritten.
    m_ui->captureFileEdit->setText(m_capture->fileName());
    showRecording();
}

void CaptureDialog::stopCapture() {
    m_capture->stopRecording();
    showIdle();
}

void CaptureDialog::exitCapture() {
    m_capture->stopRecording();
    accept();
}

void CaptureDialog::done(int result) {
    m_statisticsTimer.stop();
    m_capture->setLivePicture(false);
    m_capture->stopRecording();
    m_capture->setConnected(false);
    m_recording = false;
    QDialog::done(result);
}

void CaptureDialog::refreshStatistics() {
    if (!m_capture->isRecording()) {
        // A recording that ended by itself: back to idle, and say why.
        if (m_recording) {
            showIdle();
            if (!m_capture->errorText().isEmpty())
                m_ui->statisticsLabel->setText(m_capture->errorText());
        }
        return;
    }
    m_ui->statisticsLabel->setText(statisticsLine(m_capture->statistics()));
}

void CaptureDialog::showIdle() {
    m_recording = false;
    const bool any = m_ui->deviceCombo->count() > 0;
    m_ui->startCaptureButton->setEnabled(any);
    m_ui->previewButton->setEnabled(any);
    m_ui->deviceCombo->setEnabled(true);
}

void CaptureDialog::showRecording() {
    m_recording = true;
    m_ui->startCaptureButton->setEnabled(false);
    m_ui->previewButton->setEnabled(false);
    // The device cannot change under a recording.
    m_ui->deviceCombo->setEnabled(false);
}

void CaptureDialog::showLiveFrame(const QByteArray& rgb24, int width, int height) {
    if (width <= 0 || height <= 0 || rgb24.size() < qsizetype(width) * height * 3)
        return;
    const QImage picture(reinterpret_cast<const uchar*>(rgb24.constData()), width, height,
                         width * 3, QImage::Format_RGB888);
    m_ui->livePictureLabel->setPixmap(QPixmap::fromImage(picture.scaled(
        m_ui->livePictureLabel->size(), Qt::KeepAspectRatio, Qt::SmoothTransformation)));
}

} // namespace clipvane
