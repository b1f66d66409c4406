#pragma once

#include "app/presetfiles.h"
#include "convert/batchprogress.h"
#include "convert/batchrun.h"
#include "convert/hardwareencoders.h"
#include "convert/outputpreview.h"
#include "convert/queuekeeper.h"
#include "convert/runcompletion.h"
#include "convert/runnotices.h"
#include "convert/sizeestimator.h"
#include "options/optionsheet.h"
#include "player/playerstate.h"
#include "player/previewplayer.h"
#include "settings/windowstate.h"
#include "sources/probequeue.h"
#include "sources/removedrows.h"
#include "sources/sourcelist.h"

#include <QIcon>
#include <QList>
#include <QMainWindow>
#include <functional>
#include <memory>

class QAction;
class QLabel;
class QMenu;
class QToolButton;

namespace Ui {
class MainWindow;
}

namespace clipvane {

class DesktopNotices;
class DesktopServices;
class MessageBoxes;
class ProfilePicker;
class ToolKeys;
struct WindowParts;

// What the main window needs from outside; tests pass recorders.
struct MainWindowServices {
    DesktopServices* desktop = nullptr;
    MessageBoxes* messages = nullptr;
    ToolKeys* keys = nullptr;
    // The open-file dialog, opened in startFolder: the chosen paths, or none when cancelled.
    std::function<QStringList(QWidget* parent, const QString& startFolder)> openFiles;
    // Ends the program once the window has saved its settings.
    std::function<void()> endProcess;
    // The files presets are exported to and imported from, and the question for a name that
    // is taken; empty members ask with Qt's own dialogs.
    PresetFileDialogs presetFiles;
    // Where the list is kept between sessions (see QueueKeeper); empty: it is not kept.
    QString queueFile;
    // The desktop's notification and launcher progress; nullptr: none.
    DesktopNotices* notices = nullptr;
    // Where hardware video encoders may be, searched for at start; empty: no search (only
    // software is offered).
    std::function<HardwareDevices()> hardware;
};

// The main window: the video list, the profile picker and option sheet, the preview, and the
// commands of the menu bar, the tool strip and the list's context menu (one QAction each).
// Each slot reads the widgets, calls the logic and shows the result.
class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit MainWindow(const MainWindowServices& services, QWidget* parent = nullptr);
    ~MainWindow() override;

    // Restores the last profile (or preset) and fills the option sheet with its values, and
    // puts the window where it was left; run once before the window shows.
    void loadSettings();
    // Remembers the selected profile, the sheet's values and the window's layout; run once as
    // the window closes.
    void saveSettings();

    // The files named on the command line, added as Add Files adds them; the rest are named
    // in one message. Names that are not valid UTF-8 get rows that say so.
    void addStartupFiles(const QStringList& paths, const QStringList& badNames = {});
    // Adds one file and starts examining it (the list's own way in, as a drop of one file);
    // returns at once, the row fills in when the probe ends.
    void addFile(const QString& path);
    // The status bar: where converted files go and what happens to files already there.
    void updateStatusBar();

    Ui::MainWindow* ui() const { return m_ui.get(); }
    SourceList& sources() { return m_sources; }
    OptionSheet& sheet() { return m_sheet; }
    PlayerState& playerState() { return m_playerState; }
    BatchRun& batch() { return m_batch; }
    BatchProgress& batchProgress() { return m_batchProgress; }
    RunCompletion& runCompletion() { return m_runCompletion; }
    QueueKeeper& queue() { return m_queue; }
    SizeEstimator& estimator() { return m_estimator; }
    PreviewPlayer& preview() { return m_preview; }
    ProfilePicker& picker() { return *m_picker; }
    QMenu* contextMenu() const { return m_contextMenu; }
    bool isToolButtonHighlighted(const QToolButton* button) const;

public slots:
    void applySelectedProfile();
    // The option sheet's "Reset to Profile": the pick values again (a preset: as saved).
    void resetToProfile();
    // "Save as Preset...": the profile and the sheet under a name of the user's.
    void saveAsPreset();
    // "Manage Presets...": renames and deletes the user's presets.
    void managePresets();
    // "Export Presets..." and "Import Presets...": the user's presets to and from a file.
    void exportPresets();
    void importPresets();
    void addFiles();
    // Removes the selected rows (Clear All: every row), which Undo can bring back. Rows being
    // converted are stopped first, once the user has agreed.
    void removeSelectedFile();
    void clearFiles();
    void undoRemoval();
    // "Apply Current Profile to Selected Files": the rows keep the picked profile and the
    // sheet's values; "Use the Picked Profile…" gives them up again.
    void applyProfileToSelected();
    void followPickerForSelected();
    void moveSelectedUp();
    void moveSelectedDown();
    void moveSource(int from, int to);
    // Where the next run would write the row's file, or nothing.
    QString plannedOutput(int row) const;
    void turnOffShutdown();
    void addDroppedFiles(const QStringList& paths);
    void showContextMenu(const QPoint& globalPos);
    // A click on a row (mouse only): the item page and the preview's file.
    void selectSource();
    // The list's double-click and "Video Clip": the clip dialog for the chosen row.
    void editClip();
    // "Audio Tracks…" and "Subtitles…": which of the chosen row's tracks its output keeps.
    void chooseAudioTracks();
    void chooseSubtitles();
    void convertAll();
    void cancelConversion();
    void showSettings();
    // The chosen row's encoder log of its last conversion.
    void showEncoderLog();
    void showCapture();
    void showAbout();
    void showHelp();
    void quit();
    // Closes without the question a run asks (a logout, SIGTERM): the files under way are
    // finished in the background.
    void closeWithoutAsking();
    void playSelected();
    // Encodes a short sample of the selected row with its options and plays it.
    void previewOutput();
    // The tool strip's hover border: on over a button, all off over the strip itself.
    void highlightToolButton(QToolButton* button);
    void clearToolButtonHighlights();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void buildIcons();
    void buildContextMenu();
    void connectActions();
    void fitOptionsPane();
    void showProfileColumnWhenNeeded();
    void followPick();
    WindowParts windowParts() const;
    int selectedRow() const;
    QList<int> selectedRows() const;
    // Whether the user agrees to stop the conversions of these rows (when any is under way).
    bool stopRowsUnderWay(const QList<SourceList::Id>& ids);
    void followUndo();
    void highlightRow(int row);
    // The item page: the row's file, tracks and clip times on the option sheet.
    void showItemPage(int row);
    void chooseTracks(bool audio);
    // The track commands are there for a row whose file has tracks of their kind.
    void updateTrackActions();
    void updateSizeStatus();

    std::unique_ptr<Ui::MainWindow> m_ui;
    MainWindowServices m_services;
    OptionSheet m_sheet;
    HardwareSearch m_hardwareSearch;
    ProfilePicker* m_picker = nullptr;
    WindowState m_leftAs; // how the window was left last time
    SourceList m_sources;
    // Examines the files added, without holding the window; a batch waits for it.
    ProbeQueue m_probes{m_sources};
    PlayerState m_playerState;
    double m_previewAspect = 0; // the shape of the picture the preview plays
    BatchRun m_batch;
    BatchProgress m_batchProgress;
    RunCompletion m_runCompletion;
    RunNotices m_runNotices;
    QueueKeeper m_queue;
    RemovedRows m_removed;
    bool m_closeUnasked = false;
    PreviewPlayer m_preview;
    OutputPreview m_outputPreview;
    // Each row's expected output size (the Estimate column), the total in the status bar.
    SizeEstimator m_estimator;
    QString m_previewTitle; // the preview's caption, without a sample's size
    QList<QIcon> m_icons;
    QMenu* m_contextMenu = nullptr;
    QAction* m_showLogAction = nullptr;
    QMenu* m_tracksMenu = nullptr; // the item page's Tracks row: which tracks to keep
    bool m_settingsSaved = false;
    bool m_quitting = false; // Exit waits for the preview's player to end
    bool m_optionsPaneFitted = false;
    QList<QToolButton*> m_toolButtons;
    QToolButton* m_shutdownStatus = nullptr; // shows while the computer shuts down when done
    QLabel* m_outputStatus = nullptr;
    QLabel* m_sizeStatus = nullptr; // the estimates' total and the output disk's free space
    // The folder the open-file dialog opens in: where the program was started, then the
    // folder of the last selection; starting a player moves it to the program folder (the
    // player's working folder, which the dialog has always followed).
    QString m_dialogFolder;
};

} // namespace clipvane
