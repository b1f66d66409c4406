#include "app/clipdialog.h"

#include "app/skin.h"
#include "base/messageboxes.h"
#include "ui_clipdialog.h"

#include <QCloseEvent>
#include <QTimer>
#include <climits>

namespace clipvane {

ClipDialog::ClipDialog(const ClipOpening& opening, PlayerState* player, ToolKeys* keys,
                       SourceList* list, MessageBoxes* messages, QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::ClipDialog>()), m_session(opening, player, keys),
      m_list(list), m_messages(messages), m_lengthText(opening.lengthText) {
    ui->setupUi(this);
    setModal(true);

    // The dialog's own player draws into Text4.
    PreviewPlayer& p = m_session.player();
    p.setSurface(makeVideoSurface(ui->Text4));

    // The sliders act when the mouse lets go of them; keys move only the slider.
    for (QSlider* s : {ui->Slider1, ui->Slider2, ui->Slider3})
        s->installEventFilter(this);

    connect(ui->Command1, &QPushButton::clicked, this, &ClipDialog::Command1_Click);
    connect(ui->Command2, &QPushButton::clicked, this, &ClipDialog::Command2_Click);
    connect(ui->cmdPlay, &QPushButton::clicked, this, &ClipDialog::cmdPlay_Click);
    connect(ui->cmdPause, &QPushButton::clicked, this, &ClipDialog::cmdPause_Click);
    connect(ui->cmdStop, &QPushButton::clicked, this, &ClipDialog::cmdStop_Click);
    connect(ui->cmdBack, &QPushButton::clicked, this, &ClipDialog::cmdBack_Click);
    connect(ui->cmdForward, &QPushButton::clicked, this, &ClipDialog::cmdForward_Click);
    connect(ui->Command4, &QPushButton::clicked, this, &ClipDialog::Command4_Click);
    connect(ui->Command5, &QPushButton::clicked, this, &ClipDialog::Command5_Click);
    connect(&p, &PreviewPlayer::clockTextChanged, ui->LblCurTime, &QLabel::setText);
    connect(&p, &PreviewPlayer::totalTextChanged, ui->SkinLabel10, &QLabel::setText);
    connect(&p, &PreviewPlayer::sliderValueChanged, this, [this](int value) {
        if (!ui->Slider3->isSliderDown())
            ui->Slider3->setValue(value);
    });
}

ClipDialog::~ClipDialog() {
    m_session.unload();
}

void ClipDialog::showTexts() {
    ui->Text1->setText(m_session.startText());
    ui->Text2->setText(m_session.endText());
    ui->Text3->setText(m_session.clipText());
}

void ClipDialog::Form_Load() {
    applySkin(this);
    m_session.load();
    showTexts();
    const int maximum = static_cast<int>(std::min<qint64>(m_session.sliderMaximum(), INT_MAX));
    ui->Slider1->setMaximum(maximum);
    ui->Slider2->setMaximum(maximum);
    ui->Slider2->setValue(static_cast<int>(m_session.endSliderValue()));
    ui->Slider1->setValue(static_cast<int>(m_session.startSliderValue()));
    setWindowTitle(m_session.caption());
}

bool ClipDialog::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonRelease) {
        // After the slider itself has taken the release.
        if (watched == ui->Slider1)
            QTimer::singleShot(0, this, &ClipDialog::Slider1_MouseUp);
        else if (watched == ui->Slider2)
            QTimer::singleShot(0, this, &ClipDialog::Slider2_MouseUp);
        else if (watched == ui->Slider3)
            QTimer::singleShot(0, this, &ClipDialog::Slider3_MouseUp);
    }
    return QDialog::eventFilter(watched, event);
}

void ClipDialog::Slider1_MouseUp() {
    m_session.startSliderReleased(ui->Slider1->value());
    showTexts();
}

void ClipDialog::Slider2_MouseUp() {
    m_session.endSliderReleased(ui->Slider2->value());
    showTexts();
}

void ClipDialog::Slider3_MouseUp() {
    m_session.player().seek(ui->Slider3->value());
}

void ClipDialog::Command1_Click() {
    if (m_session.ok(*m_list) == ClipSession::OkResult::Refused) {
        if (m_messages)
            m_messages->error(QLatin1String(ClipSession::kRefusal));
        return;
    }
    accept();
}

void ClipDialog::Command2_Click() {
    m_session.unload();
    QDialog::reject();
}

void ClipDialog::reject() {
    // Escape leaves the dialog as Cancel does.
    Command2_Click();
}

void ClipDialog::closeEvent(QCloseEvent* event) {
    m_session.unload();
    QDialog::closeEvent(event);
}

void ClipDialog::cmdPlay_Click() {
    m_session.player().play(m_lengthText);
}

void ClipDialog::cmdPause_Click() {
    m_session.player().pause();
}

void ClipDialog::cmdStop_Click() {
    m_session.player().stop();
}

void ClipDialog::cmdBack_Click() {
    m_session.player().back();
}

void ClipDialog::cmdForward_Click() {
    m_session.player().forward();
}

void ClipDialog::Command4_Click() {
    m_session.player().firstFrame();
}

void ClipDialog::Command5_Click() {
    m_session.player().lastFrames();
}

} // namespace clipvane
