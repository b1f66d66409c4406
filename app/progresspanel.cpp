#include "app/progresspanel.h"

#include "convert/batchprogress.h"
#include "convert/batchrun.h"
#include "ui_progresspanel.h"

#include <QMouseEvent>
#include <algorithm>

namespace clipvane {

ProgressPanel::ProgressPanel(QWidget* parent)
    : QFrame(parent), m_ui(std::make_unique<Ui::ProgressPanel>()) {
    m_ui->setupUi(this);
    m_ui->itemProgressBar->setRange(0, 100);
    m_ui->totalProgressBar->setRange(0, 100);
    connect(m_ui->cancelButton, &QPushButton::clicked, this, &ProgressPanel::cancelRequested);
    m_ui->pauseButton->setCheckable(true);
    showPaused(false);
    // Toggled, not clicked: a screen reader's "Toggle" action toggles without a click.
    connect(m_ui->pauseButton, &QPushButton::toggled, this, &ProgressPanel::pauseRequested);
    hide();
}

ProgressPanel::~ProgressPanel() = default;

void ProgressPanel::bind(BatchRun* run, BatchProgress* progress) {
    connect(progress, &BatchProgress::panelVisibleChanged, this, &ProgressPanel::showForRun);
    connect(progress, &BatchProgress::captionChanged, m_ui->progressGroup, &QGroupBox::setTitle);
    connect(progress, &BatchProgress::itemProgressChanged, m_ui->itemProgressBar,
            &QProgressBar::setValue);
    connect(progress, &BatchProgress::totalProgressChanged, m_ui->totalProgressBar,
            &QProgressBar::setValue);
    connect(progress, &BatchProgress::elapsedTextChanged, m_ui->convertingTimeLabel,
            &QLabel::setText);
    connect(progress, &BatchProgress::timeLeftChanged, m_ui->timeLeftLabel, &QLabel::setText);
    connect(run, &BatchRun::pausedChanged, this, &ProgressPanel::showPaused);
}

void ProgressPanel::showPaused(bool paused) {
    m_ui->pauseButton->setChecked(paused);
    m_ui->pauseButton->setText(paused ? tr("Resume") : tr("Pause"));
    // Told apart from the preview's Pause by a screen reader.
    m_ui->pauseButton->setAccessibleName(paused ? tr("Resume converting") : tr("Pause converting"));
    m_ui->pauseButton->setToolTip(paused ? tr("Go on converting")
                                         : tr("Pause every running encoder; click "
                                              "again to go on"));
}

void ProgressPanel::showForRun(bool visible) {
    if (visible) {
        adjustSize();
        if (!m_placed && parentWidget()) {
            m_placed = true;
            const QSize area = parentWidget()->size();
            move((area.width() - width()) / 2, (area.height() - height()) / 2);
        }
        raise();
    }
    setVisible(visible);
}

void ProgressPanel::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return QFrame::mousePressEvent(event);
    m_dragging = true;
    m_dragOffset = event->position().toPoint();
    grabMouse(); // the release ends the drag wherever the pointer is
}

void ProgressPanel::mouseMoveEvent(QMouseEvent* event) {
    QWidget* area = parentWidget();
    if (!m_dragging || !area)
        return QFrame::mouseMoveEvent(event);
    QPoint topLeft = area->mapFromGlobal(event->globalPosition().toPoint()) - m_dragOffset;
    topLeft.setX(std::clamp(topLeft.x(), 2 * kGripStrip - width(), area->width() - 2 * kGripStrip));
    topLeft.setY(std::clamp(topLeft.y(), 0, std::max(0, area->height() - kGripStrip)));
    move(topLeft);
}

void ProgressPanel::mouseReleaseEvent(QMouseEvent* event) {
    if (!m_dragging)
        return QFrame::mouseReleaseEvent(event);
    m_dragging = false;
    releaseMouse();
}

} // namespace clipvane
