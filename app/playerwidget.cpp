#include "app/playerwidget.h"

#include "app/skin.h"
#include "player/previewplayer.h"
#include "ui_playerwidget.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <cmath>

namespace clipvane {

PlayerWidget::PlayerWidget(QWidget* parent)
    : QWidget(parent), m_ui(std::make_unique<Ui::PlayerWidget>()) {
    m_ui->setupUi(this);
    // Around the picture the area is black, like the surface itself.
    m_ui->videoArea->setAutoFillBackground(true);
    QPalette black = m_ui->videoArea->palette();
    black.setColor(QPalette::Window, Qt::black);
    m_ui->videoArea->setPalette(black);
    m_ui->videoArea->installEventFilter(this);
    m_ui->videoSurface->installEventFilter(this);
    // The slider seeks when the mouse lets go of it, whether it was dragged or clicked.
    m_ui->positionSlider->installEventFilter(this);
    m_ui->positionSlider->setTracking(true);

    // The buttons may narrow to their text and the skin's margins (a style's own floor of a
    // width for short texts goes): the list beside the player keeps room for its columns.
    for (QPushButton* button : findChildren<QPushButton*>()) {
        const int text = button->fontMetrics().horizontalAdvance(button->text());
        button->setMinimumWidth(text + 26);
        button->setSizePolicy(QSizePolicy::Preferred, button->sizePolicy().verticalPolicy());
    }
    connect(m_ui->playButton, &QPushButton::clicked, this, &PlayerWidget::playRequested);
    connect(m_ui->pauseButton, &QPushButton::clicked, this, &PlayerWidget::pause);
    connect(m_ui->stopButton, &QPushButton::clicked, this, &PlayerWidget::stop);
    connect(m_ui->backButton, &QPushButton::clicked, this, &PlayerWidget::back);
    connect(m_ui->forwardButton, &QPushButton::clicked, this, &PlayerWidget::forward);
    connect(m_ui->firstFrameButton, &QPushButton::clicked, this, &PlayerWidget::showFirstFrame);
    connect(m_ui->lastFramesButton, &QPushButton::clicked, this, &PlayerWidget::showLastFrames);
}

PlayerWidget::~PlayerWidget() = default;

QWidget* PlayerWidget::videoSurface() const {
    return m_ui->videoSurface;
}

void PlayerWidget::setPlayer(PreviewPlayer* player) {
    if (m_player)
        m_player->disconnect(this);
    m_player = player;
    if (!m_player)
        return;
    m_player->setSurface(makeVideoSurface(m_ui->videoSurface));
    fitSurface();
    connect(m_player, &PreviewPlayer::clockTextChanged, m_ui->currentTimeLabel, &QLabel::setText);
    connect(m_player, &PreviewPlayer::totalTextChanged, m_ui->totalTimeLabel, &QLabel::setText);
    connect(m_player, &PreviewPlayer::sliderValueChanged, this, [this](int value) {
        if (!m_ui->positionSlider->isSliderDown()) // the user's hand wins over the clock
            m_ui->positionSlider->setValue(value);
    });
    connect(m_player, &PreviewPlayer::playerStarted, this, [this] { m_lastPicture = QPixmap(); });
    connect(m_player, &PreviewPlayer::playerEnded, this, &PlayerWidget::keepLastPicture);
}

void PlayerWidget::keepLastPicture() {
    QWidget* surface = m_ui->videoSurface;
    QScreen* screen = surface->screen();
    // The picture the player left in the surface's own window, taken before anything covers it.
    m_lastPicture =
        surface->isVisible() && screen ? screen->grabWindow(surface->winId()) : QPixmap();
    surface->update();
}

void PlayerWidget::setPictureAspect(double aspect) {
    m_aspect = std::isfinite(aspect) && aspect > 0 ? aspect : 0;
    fitSurface();
}

void PlayerWidget::setSurfaceMinimumSize(const QSize& size) {
    m_ui->videoArea->setMinimumSize(size);
}

void PlayerWidget::fitSurface() {
    const QRect area = m_ui->videoArea->rect();
    QRect picture = area;
    if (m_aspect > 0 && area.height() > 0) {
        QSize fitted(area.width(), static_cast<int>(std::lround(area.width() / m_aspect)));
        if (fitted.height() > area.height())
            fitted = QSize(static_cast<int>(std::lround(area.height() * m_aspect)), area.height());
        picture = QRect(QPoint(0, 0), fitted.expandedTo(QSize(1, 1)));
        picture.moveCenter(area.center());
    }
    m_ui->videoSurface->setGeometry(picture);
}

void PlayerWidget::pause() {
    if (m_player)
        m_player->pause();
}

void PlayerWidget::stop() {
    if (!m_player)
        return;
    m_player->stop();
    m_lastPicture = QPixmap();
    // Once the player has let go of the surface, it is black again.
    QTimer::singleShot(PreviewPlayer::kQuitGraceMs, m_ui->videoSurface,
                       qOverload<>(&QWidget::update));
}

void PlayerWidget::back() {
    if (m_player)
        m_player->back();
}

void PlayerWidget::forward() {
    if (m_player)
        m_player->forward();
}

void PlayerWidget::showFirstFrame() {
    if (m_player)
        m_player->firstFrame();
}

void PlayerWidget::showLastFrames() {
    if (m_player)
        m_player->lastFrames();
}

void PlayerWidget::seekToSlider() {
    if (m_player)
        m_player->seek(m_ui->positionSlider->value());
}

bool PlayerWidget::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_ui->videoArea && event->type() == QEvent::Resize)
        fitSurface();
    // Over its black background, the last picture of a player that has ended.
    if (watched == m_ui->videoSurface && event->type() == QEvent::Paint &&
        !m_lastPicture.isNull()) {
        QPainter painter(m_ui->videoSurface);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawPixmap(m_ui->videoSurface->rect(), m_lastPicture);
        return true;
    }
    // After the slider itself has taken the release.
    if (watched == m_ui->positionSlider && event->type() == QEvent::MouseButtonRelease)
        QTimer::singleShot(0, this, &PlayerWidget::seekToSlider);
    return QWidget::eventFilter(watched, event);
}

} // namespace clipvane
