#include "app/form2.h"

#include "app/skin.h"
#include "base/messageboxes.h"
#include "ui_form2.h"

#include <QCloseEvent>
#include <QTimer>
#include <climits>

namespace clipvane {

Form2::Form2(const ClipOpening& opening, PlayerState* player, ToolKeys* keys, SourceList* list,
             MessageBoxes* messages, QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::Form2>()), m_session(opening, player, keys),
      m_list(list), m_messages(messages), m_lengthText(opening.lengthText) {
    ui->setupUi(this);
    setModal(true);

    // The dialog's own player draws into Text4.
    PreviewPlayer& p = m_session.player();
    p.setSurface(makeVideoSurface(ui->Text4));

    // The sliders act when the mouse lets go of them; keys move only the slider.
    for (QSlider* s : {ui->Slider1, ui->Slider2, ui->Slider3})
        s->installEventFilter(this);

    connect(ui->Command1, &QPushButton::clicked, this, &Form2::Command1_Click);
    connect(ui->Command2, &QPushButton::clicked, this, &Form2::Command2_Click);
    connect(ui->cmdPlay, &QPushButton::clicked, this, &Form2::cmdPlay_Click);
    connect(ui->cmdPause, &QPushButton::clicked, this, &Form2::cmdPause_Click);
    connect(ui->cmdStop, &QPushButton::clicked, this, &Form2::cmdStop_Click);
    connect(ui->cmdBack, &QPushButton::clicked, this, &Form2::cmdBack_Click);
    connect(ui->cmdForward, &QPushButton::clicked, this, &Form2::cmdForward_Click);
    connect(ui->Command4, &QPushButton::clicked, this, &Form2::Command4_Click);
    connect(ui->Command5, &QPushButton::clicked, this, &Form2::Command5_Click);
    connect(&p, &PreviewPlayer::clockTextChanged, ui->LblCurTime, &QLabel::setText);
    connect(&p, &PreviewPlayer::totalTextChanged, ui->SkinLabel10, &QLabel::setText);
    connect(&p, &PreviewPlayer::sliderValueChanged, this, [this](int value) {
        if (!ui->Slider3->isSliderDown())
            ui->Slider3->setValue(value);
    });
}

Form2::~Form2() {
    m_session.unload();
}

void Form2::showTexts() {
    ui->Text1->setText(m_session.startText());
    ui->Text2->setText(m_session.endText());
    ui->Text3->setText(m_session.clipText());
}

void Form2::Form_Load() {
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

bool Form2::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonRelease) {
        // After the slider itself has taken the release.
        if (watched == ui->Slider1)
            QTimer::singleShot(0, this, &Form2::Slider1_MouseUp);
        else if (watched == ui->Slider2)
            QTimer::singleShot(0, this, &Form2::Slider2_MouseUp);
        else if (watched == ui->Slider3)
            QTimer::singleShot(0, this, &Form2::Slider3_MouseUp);
    }
    return QDialog::eventFilter(watched, event);
}

void Form2::Slider1_MouseUp() {
    m_session.startSliderReleased(ui->Slider1->value());
    showTexts();
}

void Form2::Slider2_MouseUp() {
    m_session.endSliderReleased(ui->Slider2->value());
    showTexts();
}

void Form2::Slider3_MouseUp() {
    m_session.player().seek(ui->Slider3->value());
}

void Form2::Command1_Click() {
    if (m_session.ok(*m_list) == ClipSession::OkResult::Refused) {
        if (m_messages)
            m_messages->error(QLatin1String(ClipSession::kRefusal));
        return;
    }
    accept();
}

void Form2::Command2_Click() {
    m_session.unload();
    QDialog::reject();
}

void Form2::reject() {
    // Escape leaves the dialog as Cancel does.
    Command2_Click();
}

void Form2::closeEvent(QCloseEvent* event) {
    m_session.unload();
    QDialog::closeEvent(event);
}

void Form2::cmdPlay_Click() {
    m_session.player().play(m_lengthText);
}

void Form2::cmdPause_Click() {
    m_session.player().pause();
}

void Form2::cmdStop_Click() {
    m_session.player().stop();
}

void Form2::cmdBack_Click() {
    m_session.player().back();
}

void Form2::cmdForward_Click() {
    m_session.player().forward();
}

void Form2::Command4_Click() {
    m_session.player().firstFrame();
}

void Form2::Command5_Click() {
    m_session.player().lastFrames();
}

} // namespace clipvane
