#pragma once

#include "convert/batchrun.h"
#include "options/optionsheet.h"
#include "player/playerstate.h"
#include "player/previewplayer.h"
#include "sources/sourcelist.h"

#include <QIcon>
#include <QList>
#include <QMainWindow>
#include <functional>
#include <memory>

class QMenu;
class QToolButton;
class QLabel;

namespace Ui {
class MainWindow;
}

namespace clipvane {

class DesktopServices;
class MessageBoxes;
class ToolKeys;

// What the main window needs from outside; tests pass recorders.
struct MainWindowServices {
    DesktopServices* desktop = nullptr;
    MessageBoxes* messages = nullptr;
    ToolKeys* keys = nullptr;
    // The open-file dialog, opened in startFolder: the chosen paths, or none when cancelled.
    std::function<QStringList(QWidget* parent, const QString& startFolder)> openFiles;
    // Ends the program once the window has unloaded.
    std::function<void()> endProcess;
};

// The main window. Handlers carry the names of the controls and events they serve; each
// reads the widgets, calls the logic and shows the result.
class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit MainWindow(const MainWindowServices& services, QWidget* parent = nullptr);
    ~MainWindow() override;

    // Load steps, run once while the window is still hidden.
    void Form_Load();
    // Unload steps: remembers the selected profile.
    void Form_Unload();

    void prolist();
    void ImageCombo1_Click();
    void addvideofile(const QString& path);

    void AddFiles_Click();
    // The files named on the command line, added as Add Files adds them; the rest are named
    // in one message.
    void addStartupFiles(const QStringList& paths);
    void RemoveSelectedFile_Click();
    void ClearAllFiles_Click();
    void lvwAudioTracks_OLEDragDrop(const QStringList& paths);
    void lvwAudioTracks_MouseDown(Qt::MouseButton button, const QPoint& globalPos);
    void BurnNow_Click();
    void Command1_Click();
    // The list's click (mouse only): the item page and the preview's file.
    void lvwAudioTracks_Click();
    // The list's double-click and "Video Clip": the clip dialog for the chosen row.
    void lvwAudioTracks_DblClick();
    void videoclip_Click();
    void options_Click(); // the settings dialog
    // The context menu's "Show Encoder Log": the chosen row's log of its last conversion.
    void ShowEncoderLog_Click();
    // The status bar: where converted files go and what happens to files already there.
    void updateStatusBar();
    void Capture_Click(); // the capture window
    void About_Click();
    // The preview player.
    void cmdPlay_Click();
    void cmdPause_Click();
    void cmdStop_Click();
    void cmdBack_Click();
    void cmdForward_Click();
    void Command4_Click();
    void Command5_Click();
    void Slider1_MouseUp();
    void Timer1_Timer();
    void ShowHelp();
    void exit_Click();
    // The tool strip's hover border: on over a picture, all off over the strip itself.
    void Image_MouseMove(QToolButton* picture);
    void Picture3_MouseMove();
    bool pictureFramed(const QToolButton* picture) const;
    // Dragging the progress panel with the left button.
    void Picture4_MouseDown(Qt::MouseButton button, const QPoint& posInPanel);
    void Form_MouseMove(const QPoint& posInWindow);
    void Form_MouseUp();
    bool panelDragging() const { return m_dragging; }

    Ui::MainWindow* form() const { return ui.get(); }
    SourceList& sources() { return m_list; }
    OptionSheet& sheet() { return m_sheet; }
    PlayerState& playerState() { return m_player; }
    BatchRun& batch() { return m_batch; }
    PreviewPlayer& preview() { return m_preview; }
    QMenu* popupMenu() const { return popupmenu1; }

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void buildImageList();
    void buildPopupMenu();
    void connectHandlers();
    void updateCommandStates();
    void fitOptionsPane();
    int selectedRow() const;

    std::unique_ptr<Ui::MainWindow> ui;
    MainWindowServices m_services;
    OptionSheet m_sheet;
    SourceList m_list;
    PlayerState m_player;
    BatchRun m_batch;
    PreviewPlayer m_preview;
    QList<QIcon> ImageList1;
    QMenu* popupmenu1 = nullptr;
    bool m_unloaded = false;
    bool m_fitted = false;
    bool m_dragging = false;
    QPoint m_grab; // where in the panel the drag took hold
    bool m_panelPlaced = false;
    QList<QToolButton*> m_pictures;
    QLabel* m_outputStatus = nullptr;
    QAction* m_showLog = nullptr;
    // The folder the open-file dialog opens in: where the program was started, then the
    // folder of the last selection; starting a player moves it to the program folder.
    QString m_dialogFolder;
};

} // namespace clipvane
