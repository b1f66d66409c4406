#include "app/clipdialog.h"

#include "app/skin.h"
#include "base/messageboxes.h"
#include "ui_clipdialog.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QTimer>
#include <climits>

namespace clipvane {

ClipDialog::ClipDialog(const ClipOpening& opening, PlayerState* player, ToolKeys* keys,
                       SourceList* list, MessageBoxes* messages, QWidget* parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::ClipDialog>()), m_session(opening, player, keys),
      m_list(list), m_messages(messages), m_videoTime(opening.length) {
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
    // Typed times count on Enter (which then does not close the dialog) or on leaving the box.
    m_ui->startTimeEdit->installEventFilter(this);
    m_ui->endTimeEdit->installEventFilter(this);
    connect(m_ui->startTimeEdit, &QLineEdit::editingFinished, this, &ClipDialog::applyTypedStart);
    connect(m_ui->endTimeEdit, &QLineEdit::editingFinished, this, &ClipDialog::applyTypedEnd);

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

void ClipDialog::applyTypedStart() {
    applyTypedTime(ClipSession::Edge::Start);
}

void ClipDialog::applyTypedEnd() {
    applyTypedTime(ClipSession::Edge::End);
}

void ClipDialog::applyTypedTime(ClipSession::Edge edge) {
    const bool start = edge == ClipSession::Edge::Start;
    QLineEdit* box = start ? m_ui->startTimeEdit : m_ui->endTimeEdit;
    const QString shown = start ? m_session.startText() : m_session.endText();
    if (box->text() == shown)
        return; // nothing typed
    const std::optional<qint64> time = m_session.typeTime(edge, box->text());
    showTimes(); // a text that is not a time gives way to the time it replaced
    if (!time)
        return;
    QSlider* slider = start ? m_ui->startSlider : m_ui->endSlider;
    slider->setValue(
        static_cast<int>(start ? m_session.startSliderValue() : m_session.endSliderValue()));
    // The picture goes there too.
    m_session.player().seekTo(*time);
}

void ClipDialog::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Comma || event->key() == Qt::Key_Period) {
        m_session.player().stepFrame(event->key() == Qt::Key_Period ? 1 : -1);
        return;
    }
    QDialog::keyPressEvent(event);
}

bool ClipDialog::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress &&
        (watched == m_ui->startTimeEdit || watched == m_ui->endTimeEdit)) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            applyTypedTime(watched == m_ui->startTimeEdit ? ClipSession::Edge::Start
                                                          : ClipSession::Edge::End);
            return true;
        }
    }
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
            m_messages->error(ClipSession::refusal());
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
