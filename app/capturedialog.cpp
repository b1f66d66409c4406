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

} // namespace

CaptureDialog::CaptureDialog(QWidget* parent, CaptureComponent* component,
                             SaveFileChooser chooseFile)
    : QDialog(parent), ui(std::make_unique<Ui::CaptureDialog>()),
      m_ownComponent(component ? nullptr : std::make_unique<LinuxCapture>()),
      m_vcx(component ? component : m_ownComponent.get()),
      m_chooseFile(chooseFile ? std::move(chooseFile) : SaveFileChooser(showSaveDialog)) {
    ui->setupUi(this);
    setModal(true);
    ui->Text1->setText(defaultCaptureFile());

    // The picture area is black until the live picture comes.
    ui->vcx->setAutoFillBackground(true);
    QPalette black = ui->vcx->palette();
    black.setColor(QPalette::Window, Qt::black);
    ui->vcx->setPalette(black);

    // The camera sliders send their value when clicked; keys move only the slider.
    for (int i = 0; i < 4; ++i)
        slider(i)->installEventFilter(this);

    connect(ui->Combo1, &QComboBox::currentIndexChanged, this, &CaptureDialog::Combo1_Click);
    connect(ui->Command5, &QPushButton::clicked, this, &CaptureDialog::Command5_Click);
    connect(ui->Command3, &QPushButton::clicked, this, &CaptureDialog::Command3_Click);
    connect(ui->Command1, &QPushButton::clicked, this, &CaptureDialog::Command1_Click);
    connect(ui->Command2, &QPushButton::clicked, this, &CaptureDialog::Command2_Click);
    connect(ui->Command4, &QPushButton::clicked, this, &CaptureDialog::Command4_Click);
    connect(&m_clock, &QTimer::timeout, this, &CaptureDialog::Timer1_Timer);
    connect(m_vcx, &CaptureComponent::liveFrame, this, &CaptureDialog::showLiveFrame);

    m_clock.start(500);
}

CaptureDialog::~CaptureDialog() = default;

QSlider* CaptureDialog::slider(int index) const {
    switch (index) {
    case 0:
        return ui->Slider_0;
    case 1:
        return ui->Slider_1;
    case 2:
        return ui->Slider_2;
    default:
        return ui->Slider_3;
    }
}

void CaptureDialog::Form_Load() {
    applySkin(this);
    {
        const QSignalBlocker quiet(ui->Combo1);
        ui->Combo1->clear();
        for (int i = 0; i < m_vcx->deviceCount(); ++i)
            ui->Combo1->addItem(m_vcx->deviceName(i));
    }
    const bool any = ui->Combo1->count() > 0;
    for (QPushButton* b : {ui->Command1, ui->Command2, ui->Command3})
        b->setEnabled(any);
    if (!any)
        return;
    {
        const QSignalBlocker quiet(ui->Combo1);
        ui->Combo1->setCurrentIndex(0);
    }
    Combo1_Click();
}

void CaptureDialog::Combo1_Click() {
    const int index = ui->Combo1->currentIndex();
    if (index < 0)
        return;
    m_vcx->setConnected(false);
    m_vcx->setDeviceIndex(index);
    m_vcx->setConnected(true);
    for (int i = 0; i < 4; ++i) {
        QSlider* s = slider(i);
        const auto range = m_vcx->cameraRange(i);
        s->setEnabled(range.has_value());
        if (!range)
            continue;
        s->setRange(range->minimum, range->maximum);
        s->setValue(m_vcx->cameraValue(i));
    }
}

bool CaptureDialog::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonRelease) {
        auto* released = static_cast<QMouseEvent*>(event);
        for (int i = 0; i < 4; ++i) {
            QSlider* s = slider(i);
            // A click: let go over the slider. Handled once the slider has taken the release.
            if (watched == s && s->rect().contains(released->position().toPoint()))
                QTimer::singleShot(0, this, [this, i] { Slider_Click(i); });
        }
    }
    return QDialog::eventFilter(watched, event);
}

void CaptureDialog::Slider_Click(int index) {
    if (slider(index)->isEnabled())
        m_vcx->setCameraValue(index, slider(index)->value());
}

void CaptureDialog::Command5_Click() {
    const QString chosen = m_chooseFile(this, ui->Text1->text());
    if (!chosen.isEmpty())
        ui->Text1->setText(chosen);
}

void CaptureDialog::Command3_Click() {
    if (ui->Combo1->count() == 0)
        return;
    m_vcx->setLivePicture(true);
}

void CaptureDialog::Command1_Click() {
    if (ui->Combo1->count() == 0)
        return;
    m_vcx->setFileName(ui->Text1->text());
    m_vcx->setLivePicture(true);
    if (!m_vcx->startRecording()) {
        showIdle();
        ui->Label2->setText(m_vcx->errorText());
        return;
    }
    // The file actually recorded into: an existing one is never overwritten.
    ui->Text1->setText(m_vcx->fileName());
    showRecording();
}

void CaptureDialog::Command2_Click() {
    m_vcx->stopRecording();
    showIdle();
}

void CaptureDialog::Command4_Click() {
    m_vcx->stopRecording();
    accept();
}

void CaptureDialog::done(int result) {
    m_clock.stop();
    m_vcx->setLivePicture(false);
    m_vcx->stopRecording();
    m_vcx->setConnected(false);
    m_recording = false;
    QDialog::done(result);
}

void CaptureDialog::Timer1_Timer() {
    if (!m_vcx->isRecording()) {
        // A recording that ended by itself: back to idle, and say why.
        if (m_recording) {
            showIdle();
            if (!m_vcx->errorText().isEmpty())
                ui->Label2->setText(m_vcx->errorText());
        }
        return;
    }
    ui->Label2->setText(statisticsLine(m_vcx->statistics()));
}

void CaptureDialog::showIdle() {
    m_recording = false;
    const bool any = ui->Combo1->count() > 0;
    ui->Command1->setEnabled(any);
    ui->Command3->setEnabled(any);
    ui->Combo1->setEnabled(true);
}

void CaptureDialog::showRecording() {
    m_recording = true;
    ui->Command1->setEnabled(false);
    ui->Command3->setEnabled(false);
    // The device cannot change under a recording.
    ui->Combo1->setEnabled(false);
}

void CaptureDialog::showLiveFrame(const QByteArray& rgb24, int width, int height) {
    if (width <= 0 || height <= 0 || rgb24.size() < qsizetype(width) * height * 3)
        return;
    const QImage picture(reinterpret_cast<const uchar*>(rgb24.constData()), width, height,
                         width * 3, QImage::Format_RGB888);
    ui->vcx->setPixmap(QPixmap::fromImage(
        picture.scaled(ui->vcx->size(), Qt::KeepAspectRatio, Qt::SmoothTransformation)));
}

} // namespace clipvane
