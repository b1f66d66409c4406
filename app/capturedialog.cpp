#include "app/capturedialog.h"

#include "app/skin.h"
#include "capture/capturetext.h"
#include "capture/linuxcapture.h"
#include "ui_capturedialog.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QMouseEvent>
#include <QPixmap>
#include <utility>

namespace clipvane {
namespace {

QString showSaveDialog(QWidget* parent, const QString& current) {
    // The name is taken as given: no extension is added and an existing file is not asked
    // about (Start capture never overwrites one).
    return QFileDialog::getSaveFileName(
        parent, QCoreApplication::translate("clipvane::CaptureDialog", "Save Video File"), current,
        QCoreApplication::translate("clipvane::CaptureDialog", "Avi Video file (*.avi)"), nullptr,
        QFileDialog::DontConfirmOverwrite | QFileDialog::DontResolveSymlinks);
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
    connect(m_ui->soundCombo, &QComboBox::currentIndexChanged, this,
            &CaptureDialog::selectSoundSource);
    connect(m_ui->sizeCombo, &QComboBox::currentIndexChanged, this,
            &CaptureDialog::selectFrameSize);
    connect(m_ui->rateCombo, &QComboBox::currentIndexChanged, this,
            &CaptureDialog::selectFrameRate);
    connect(m_ui->browseButton, &QPushButton::clicked, this, &CaptureDialog::browseCaptureFile);
    connect(m_ui->previewButton, &QPushButton::clicked, this, &CaptureDialog::showLivePicture);
    connect(m_ui->startCaptureButton, &QPushButton::clicked, this, &CaptureDialog::startCapture);
    connect(m_ui->stopCaptureButton, &QPushButton::clicked, this, &CaptureDialog::stopCapture);
    connect(m_ui->exitButton, &QPushButton::clicked, this, &CaptureDialog::exitCapture);
    connect(&m_statisticsTimer, &QTimer::timeout, this, &CaptureDialog::refreshStatistics);
    connect(m_capture, &CaptureComponent::liveFrame, this, &CaptureDialog::showLiveFrame);
    connect(m_capture, &CaptureComponent::listsChanged, this, &CaptureDialog::refreshLists);
    connect(m_capture, &CaptureComponent::recordingFinished, this,
            &CaptureDialog::showRecordingOutcome);

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
    m_listed = true;
    {
        const QSignalBlocker quiet(m_ui->deviceCombo);
        m_ui->deviceCombo->clear();
        for (int i = 0; i < m_capture->deviceCount(); ++i)
            m_ui->deviceCombo->addItem(m_capture->deviceName(i));
    }
    // The machine's own microphone chosen when it has one.
    fillSoundSources(m_capture->preferredSoundSource());
    selectSoundSource();
    const bool any = m_ui->deviceCombo->count() > 0;
    for (QPushButton* b : {m_ui->startCaptureButton, m_ui->stopCaptureButton, m_ui->previewButton})
        b->setEnabled(any);
    if (!any) {
        // Said once every list is in: a camcorder may still be found.
        if (!m_capture->isListing())
            m_ui->statisticsLabel->setText(noDeviceText());
        for (QComboBox* c : {m_ui->soundCombo, m_ui->sizeCombo, m_ui->rateCombo})
            c->setEnabled(false);
        m_ui->rollLabel->setVisible(false);
        m_ui->rollSlider->setVisible(false);
        return;
    }
    {
        const QSignalBlocker quiet(m_ui->deviceCombo);
        m_ui->deviceCombo->setCurrentIndex(0);
    }
    selectDevice();
}

void CaptureDialog::fillSoundSources(int current) {
    // "None" first.
    const QSignalBlocker quiet(m_ui->soundCombo);
    m_ui->soundCombo->clear();
    m_ui->soundCombo->addItem(tr("None"));
    m_ui->soundCombo->addItems(m_capture->soundSourceNames());
    m_ui->soundCombo->setCurrentIndex(std::max(0, current + 1));
}

void CaptureDialog::refreshLists() {
    if (!m_listed)
        return; // not yet shown, or gone
    if (m_ui->deviceCombo->count() == 0) {
        loadDevices(); // as when the window opened
        return;
    }
    // The device in use and the sound source chosen stay: the component keeps them.
    {
        const QSignalBlocker quiet(m_ui->deviceCombo);
        m_ui->deviceCombo->clear();
        for (int i = 0; i < m_capture->deviceCount(); ++i)
            m_ui->deviceCombo->addItem(m_capture->deviceName(i));
        m_ui->deviceCombo->setCurrentIndex(m_capture->deviceIndex());
    }
    fillSoundSources(m_capture->soundSource());
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
        if (property == CaptureComponent::Roll) {
            // Few cameras can roll: the slider is there only for those.
            s->setVisible(range.has_value());
            m_ui->rollLabel->setVisible(range.has_value());
        }
        if (!range)
            continue;
        s->setRange(range->minimum, range->maximum);
        s->setSingleStep(range->step);
        s->setPageStep(range->step * 5);
        s->setValue(m_capture->cameraValue(property));
    }
    {
        const QSignalBlocker quiet(m_ui->sizeCombo);
        m_ui->sizeCombo->clear();
        for (const QSize& size : m_capture->frameSizes())
            m_ui->sizeCombo->addItem(sizeText(size), size);
        m_ui->sizeCombo->setCurrentIndex(m_ui->sizeCombo->findData(m_capture->frameSize()));
    }
    fillFrameRates();
    // A DV camcorder's sound comes with its picture.
    const bool ownSound = m_capture->deviceHasOwnSound();
    m_ui->soundCombo->setToolTip(ownSound ? tr("The camcorder records its own sound.") : QString());
    showIdle();
}

void CaptureDialog::fillFrameRates() {
    const QSignalBlocker quiet(m_ui->rateCombo);
    m_ui->rateCombo->clear();
    m_shownRates = m_capture->frameRates(m_ui->sizeCombo->currentData().toSize());
    for (const FrameRate& rate : std::as_const(m_shownRates))
        m_ui->rateCombo->addItem(rateText(rate));
    m_ui->rateCombo->setCurrentIndex(int(m_shownRates.indexOf(m_capture->frameRate())));
}

void CaptureDialog::selectSoundSource() {
    m_capture->setSoundSource(m_ui->soundCombo->currentIndex() - 1);
}

void CaptureDialog::selectFrameSize() {
    const QSize size = m_ui->sizeCombo->currentData().toSize();
    const QList<FrameRate> rates = m_capture->frameRates(size);
    if (rates.isEmpty())
        return;
    // The rate stays where the new size offers it; else 30, 25, or the fastest.
    FrameRate rate = rates.first();
    for (const FrameRate& wanted : {m_capture->frameRate(), FrameRate{30, 1}, FrameRate{25, 1}}) {
        if (rates.contains(wanted)) {
            rate = wanted;
            break;
        }
    }
    m_capture->setFrameMode(size, rate);
    fillFrameRates();
}

void CaptureDialog::selectFrameRate() {
    const int index = m_ui->rateCombo->currentIndex();
    if (index >= 0 && index < m_shownRates.size())
        m_capture->setFrameMode(m_ui->sizeCombo->currentData().toSize(), m_shownRates.at(index));
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
    if (m_ui->deviceCombo->count() == 0 || m_capture->isFinishing())
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
    if (!m_capture->isRecording())
        return;
    m_capture->stopRecording();
    // Its file is finished and checked in the background; its outcome comes then.
    showIdle();
    refreshStatistics();
}

void CaptureDialog::showRecordingOutcome() {
    showIdle();
    // The final figures, or why there is no recording after all.
    const QString error = m_capture->errorText();
    m_ui->statisticsLabel->setText(error.isEmpty() ? statisticsLine(m_capture->statistics())
                                                   : error);
    if (m_closeWhenFinished) {
        done(*m_closeWhenFinished);
    } else if (std::exchange(m_exitWhenFinished, false) && error.isEmpty()) {
        // A recording that could not be saved is said before the window goes.
        accept();
    }
}

void CaptureDialog::exitCapture() {
    if (m_capture->isRecording() || m_capture->isFinishing()) {
        m_exitWhenFinished = true;
        stopCapture();
        return;
    }
    accept();
}

void CaptureDialog::done(int result) {
    if ((m_capture->isRecording() || m_capture->isFinishing()) && !m_closeWhenFinished) {
        // The window goes once the recording's file is finished and checked; its live
        // picture goes now.
        m_closeWhenFinished = result;
        m_capture->setLivePicture(false);
        stopCapture();
        return;
    }
    m_closeWhenFinished.reset();
    m_exitWhenFinished = false;
    m_statisticsTimer.stop();
    m_capture->setLivePicture(false);
    m_capture->stopRecording();
    m_capture->setConnected(false);
    m_recording = false;
    m_listed = false;
    QDialog::done(result);
}

void CaptureDialog::refreshStatistics() {
    if (m_recording && !m_capture->isRecording())
        showIdle(); // it ended by itself: its outcome comes once it is checked
    if (m_capture->isRecording() || m_capture->isFinishing())
        m_ui->statisticsLabel->setText(statisticsLine(m_capture->statistics()));
}

void CaptureDialog::showIdle() {
    m_recording = false;
    const bool any = m_ui->deviceCombo->count() > 0;
    // No new recording while the last one's file is being finished and checked.
    m_ui->startCaptureButton->setEnabled(any && !m_capture->isFinishing());
    m_ui->previewButton->setEnabled(any);
    m_ui->deviceCombo->setEnabled(true);
    m_ui->soundCombo->setEnabled(any && !m_capture->deviceHasOwnSound());
    m_ui->sizeCombo->setEnabled(m_ui->sizeCombo->count() > 0);
    m_ui->rateCombo->setEnabled(m_ui->rateCombo->count() > 0);
}

void CaptureDialog::showRecording() {
    m_recording = true;
    m_ui->startCaptureButton->setEnabled(false);
    m_ui->previewButton->setEnabled(false);
    // The device and what it records cannot change under a recording.
    for (QComboBox* c : {m_ui->deviceCombo, m_ui->soundCombo, m_ui->sizeCombo, m_ui->rateCombo})
        c->setEnabled(false);
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
