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
    : QDialog(parent), m_ui(std::make_unique<Ui::ClipDialog>()), m_session(opening, player, keys),
      m_list(list), m_messages(messages), m_videoTime(opening.lengthText) {
    m_ui->setupUi(this);
    setModal(true);
    applySkin(this);
    m_ui->clipPlayer->setSurfaceMinimumSize(QSize(320, 240));
    m_ui->clipPlayer->setPlayer(&m_session.player());
    // The player fills its surface: the surface takes the picture's shape.
    m_ui->clipPlayer->setPictureAspect(opening.pictureAspect);

    // The time sliders act when the mouse lets go of them; keys move only the slider.
    for (QSlider* s : {m_ui->startSlider, m_ui->endSlider})
        s->installEventFilter(this);

    connect(m_ui->okButton, &QPushButton::clicked, this, &ClipDialog::accept);
    connect(m_ui->cancelButton, &QPushButton::clicked, this, &ClipDialog::reject);
    connect(m_ui->clipPlayer, &PlayerWidget::playRequested, this,
            [this] { m_session.player().play(m_videoTime); });
}

ClipDialog::~ClipDialog() {
    m_session.unload();
}

void ClipDialog::showTimes() {
    m_ui->startTimeEdit->setText(m_session.startText());
    m_ui->endTimeEdit->setText(m_session.endText());
    m_ui->clipTimeEdit->setText(m_session.clipText());
}

void ClipDialog::loadClip() {
    m_session.load();
    showTimes();
    const int maximum = static_cast<int>(std::min<qint64>(m_session.sliderMaximum(), INT_MAX));
    m_ui->startSlider->setMaximum(maximum);
    m_ui->endSlider->setMaximum(maximum);
    m_ui->endSlider->setValue(static_cast<int>(m_session.endSliderValue()));
    m_ui->startSlider->setValue(static_cast<int>(m_session.startSliderValue()));
    setWindowTitle(m_session.caption());
}

bool ClipDialog::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonRelease) {
        // After the slider itself has taken the release.
        if (watched == m_ui->startSlider)
            QTimer::singleShot(0, this, &ClipDialog::onStartSliderReleased);
        else if (watched == m_ui->endSlider)
            QTimer::singleShot(0, this, &ClipDialog::onEndSliderReleased);
    }
    return QDialog::eventFilter(watched, event);
}

void ClipDialog::onStartSliderReleased() {
    m_session.startSliderReleased(m_ui->startSlider->value());
    showTimes();
}

void ClipDialog::onEndSliderReleased() {
    m_session.endSliderReleased(m_ui->endSlider->value());
    showTimes();
}

void ClipDialog::accept() {
    if (m_session.ok(*m_list) == ClipSession::OkResult::Refused) {
        if (m_messages)
            m_messages->error(QLatin1String(ClipSession::kRefusal));
        return;
    }
    QDialog::accept();
}

void ClipDialog::reject() {
    m_session.unload();
    QDialog::reject();
}

void ClipDialog::closeEvent(QCloseEvent* event) {
    m_session.unload();
    QDialog::closeEvent(event);
}

} // namespace clipvane
