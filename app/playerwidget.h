#pragma once

#include <QPixmap>
#include <QWidget>
#include <memory>

namespace Ui {
class PlayerWidget;
}

namespace clipvane {

class PreviewPlayer;

// A player's picture and controls: the video surface, the position slider, the clock row and
// the seven buttons. The main window's preview and the clip dialog each show one over their
// own PreviewPlayer. Play is the owner's to answer (what to play is its choice); the other
// buttons and the slider steer the player directly.
class PlayerWidget : public QWidget {
    Q_OBJECT
public:
    explicit PlayerWidget(QWidget* parent = nullptr);
    ~PlayerWidget() override;

    // Binds the controls to a player and makes the surface its picture.
    void setPlayer(PreviewPlayer* player);
    // The picture's display aspect (width / height): the surface is fitted inside the area
    // with black bars; 0 or less fills the whole area.
    void setPictureAspect(double aspect);
    void setSurfaceMinimumSize(const QSize& size);

    Ui::PlayerWidget* ui() const { return m_ui.get(); }
    QWidget* videoSurface() const;
    // Whether the surface shows the picture of a player that has ended.
    bool keepsLastPicture() const { return !m_lastPicture.isNull(); }

signals:
    // Play was pressed.
    void playRequested();

public slots:
    void pause();
    void stop();
    void back();
    void forward();
    void showFirstFrame();
    void showLastFrames();
    void seekToSlider();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void fitSurface();
    // The player has ended by itself: its last picture is kept and painted whenever the
    // surface is uncovered, so that nothing paints black over it; a picture that cannot be
    // taken leaves the surface cleared whole.
    void keepLastPicture();

    std::unique_ptr<Ui::PlayerWidget> m_ui;
    PreviewPlayer* m_player = nullptr;
    double m_aspect = 0;
    QPixmap m_lastPicture;
};

} // namespace clipvane
using clipvane::PlayerWidget;
