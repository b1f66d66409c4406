#include "app/mainwindow.h"

#include "sources/picturelook.h"

#include "app/aboutdialog.h"
#include "app/capturedialog.h"
#include "app/clipdialog.h"
#include "app/encoderlogdialog.h"
#include "app/presetsdialog.h"
#include "app/profilepicker.h"
#include "app/savepresetdialog.h"
#include "app/settingsdialog.h"
#include "app/skin.h"
#include "app/tracksdialog.h"
#include "app/windowlayout.h"
#include "base/apppaths.h"
#include "base/desktopservices.h"
#include "base/messageboxes.h"
#include "base/textvalues.h"
#include "convert/plannedoutput.h"
#include "options/optionsheet.h"
#include "options/profiles.h"
#include "process/childtools.h"
#include "settings/preferences.h"
#include "settings/settingsfile.h"
#include "sources/fileselect.h"
#include "sources/mediaprobe.h"
#include "ui_mainwindow.h"
#include "ui_progresspanel.h"

#include <QCloseEvent>
#include <QCursor>
#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidgetItemIterator>
#include <algorithm>

namespace clipvane {

MainWindow::MainWindow(const MainWindowServices& services, QWidget* parent)
    : QMainWindow(parent), m_ui(std::make_unique<Ui::MainWindow>()), m_services(services),
      m_batch(BatchRun::Environment{&m_sources, &m_sheet,
                                    [this] { return m_picker ? m_picker->profileIndex() : 0; },
                                    services.keys}),
      m_batchProgress(&m_batch, &m_sources),
      m_runCompletion(&m_batch, services.desktop, services.messages),
      m_runNotices(&m_batch, &m_batchProgress, services.notices), m_queue(&m_sources, &m_batch),
      m_preview(&m_playerState, services.keys, PlayerOptionTexts::preview()),
      m_estimator(&m_sources,
                  [this](SourceList::Id id) -> std::optional<EncoderInputs> {
                      const RowEncoding encoding = rowEncoding(
                          m_sources, id, m_picker ? m_picker->profileIndex() : 0, &m_sheet);
                      const auto* options = std::get_if<EncoderOptions>(&encoding.options);
                      if (!options || !encoding.profile)
                          return std::nullopt;
                      // Where the file goes changes nothing of what it weighs.
                      EncoderInputs in = rowInputs(m_sources, id, encoding.profile, RunSettings());
                      in.options = *options;
                      return in;
                  }),
      m_dialogFolder(QDir::currentPath()) {
    m_ui->setupUi(this);

    QTreeView* list = m_ui->sourceListView;
    list->setModel(&m_sources);
    // Every column in sight: the short columns fit their usual texts as the window first shows
    // (the user can widen them), the file name takes the rest.
    QHeaderView* header = list->header();
    header->setStretchLastSection(false);
    header->setMinimumSectionSize(60);
    for (int c = 0; c < SourceList::ColumnCount; ++c)
        header->setSectionResizeMode(c, c == SourceList::FileName ? QHeaderView::Stretch
                                                                  : QHeaderView::Interactive);
    list->setContextMenuPolicy(Qt::NoContextMenu);
    // Long paths are cut in the middle, where they differ least; the tooltip has them whole.
    list->setTextElideMode(Qt::ElideMiddle);
    list->installEventFilter(this);
    m_ui->splitterMain->setStretchFactor(0, 3);
    m_ui->splitterMain->setStretchFactor(1, 2);
    m_ui->splitterMain->setSizes({900, 380});
    // The picture takes what the option sheet leaves; the user can move the divide.
    m_ui->splitterRight->setStretchFactor(0, 1);
    m_ui->splitterRight->setStretchFactor(1, 0);
    m_ui->splitterRight->setSizes({240, 460});

    m_ui->previewPlayer->setPlayer(&m_preview);
    m_ui->optionSheetView->bind(&m_sheet);
    m_ui->progressPanel->bind(&m_batch, &m_batchProgress);

    buildIcons();
    m_picker = new ProfilePicker(m_ui->profileCombo, &m_sheet,
                                 {m_icons.value(4), style()->standardIcon(QStyle::SP_ComputerIcon),
                                  style()->standardIcon(QStyle::SP_MediaVolume),
                                  style()->standardIcon(QStyle::SP_DirHomeIcon)},
                                 this);
    buildContextMenu();
    connectActions();

    // The strip's buttons: a border while the pointer is on them, a tooltip naming the key.
    m_toolButtons = {m_ui->addFilesButton, m_ui->removeFileButton, m_ui->exitButton,
                     m_ui->helpButton,     m_ui->clearAllButton,   m_ui->settingsButton,
                     m_ui->convertButton};
    const QList<QPair<QToolButton*, QAction*>> keyOf = {
        {m_ui->addFilesButton, m_ui->actionAddFiles},
        {m_ui->removeFileButton, m_ui->actionRemoveFile},
        {m_ui->clearAllButton, m_ui->actionClearAll},
        {m_ui->settingsButton, m_ui->actionSettings},
        {m_ui->convertButton, m_ui->actionConvert},
        {m_ui->helpButton, m_ui->actionHelp},
        {m_ui->exitButton, m_ui->actionExit}};
    for (const auto& [button, action] : keyOf) {
        button->setMouseTracking(true);
        button->installEventFilter(this);
        button->setToolTip(button->toolTip() + QStringLiteral(" (") +
                           action->shortcut().toString(QKeySequence::NativeText) +
                           QLatin1Char(')'));
    }
    m_ui->toolStrip->setMouseTracking(true);
    m_ui->toolStrip->installEventFilter(this);

    // Where the files go, in the status bar; a click opens the settings.
    m_outputStatus = new QLabel(this);
    m_outputStatus->setObjectName(QStringLiteral("outputStatusLabel"));
    m_outputStatus->setCursor(Qt::PointingHandCursor);
    m_outputStatus->setToolTip(tr("Click to change the output settings"));
    m_outputStatus->installEventFilter(this);
    statusBar()->addWidget(m_outputStatus, 1);
    // What the outputs will weigh, against the room on the output folder's disk.
    m_sizeStatus = new QLabel(this);
    m_sizeStatus->setObjectName(QStringLiteral("sizeStatusLabel"));
    statusBar()->addPermanentWidget(m_sizeStatus);
    // Automatic shutdown armed is always in sight, with a click to turn it off.
    m_shutdownStatus = new QToolButton(this);
    m_shutdownStatus->setObjectName(QStringLiteral("shutdownStatusButton"));
    m_shutdownStatus->setText(tr("Shut down when done"));
    m_shutdownStatus->setToolTip(tr("The computer shuts down when the conversion "
                                    "ends. Click to turn this off."));
    m_shutdownStatus->setAccessibleName(tr("Shut down when done"));
    m_shutdownStatus->setAutoRaise(true);
    // No taller than the status bar's text: the picture above keeps its room.
    m_shutdownStatus->setMaximumHeight(m_outputStatus->sizeHint().height());
    m_shutdownStatus->setStyleSheet(QStringLiteral("font-weight: bold"));
    m_shutdownStatus->hide();
    connect(m_shutdownStatus, &QToolButton::clicked, this, &MainWindow::turnOffShutdown);
    statusBar()->addPermanentWidget(m_shutdownStatus);

    // The progress panel floats over the window, where the user drags it.
    m_ui->centralLayout->removeWidget(m_ui->progressPanel);
    m_ui->progressPanel->setParent(m_ui->centralwidget);
    m_ui->progressPanel->hide();

    // The hardware encoders, tried in the background; the Encoder row offers those that work.
    connect(&m_hardwareSearch, &HardwareSearch::finished, this,
            [this](const QList<HardwareEncoder>& found) {
                setUsableHardware(found);
                QHash<QString, QStringList> byCodec;
                for (const HardwareEncoder& e : found) {
                    QStringList& names = byCodec[e.codec];
                    if (!names.contains(hardwareKindName(e.kind)))
                        names << hardwareKindName(e.kind);
                }
                setHardwareEncoders(byCodec);
                offerHardwareEncoders(m_sheet, m_picker->profileIndex());
            });
    if (services.hardware)
        m_hardwareSearch.start(services.hardware());
}

MainWindow::~MainWindow() = default;

void MainWindow::buildIcons() {
    QStyle* s = style();
    // Pictures for the tool strip and the picker's headings.
    m_icons = {
        s->standardIcon(QStyle::SP_FileDialogNewFolder),
        s->standardIcon(QStyle::SP_TrashIcon),
        s->standardIcon(QStyle::SP_DialogResetButton),
        s->standardIcon(QStyle::SP_FileDialogDetailedView),
        s->standardIcon(QStyle::SP_MediaPlay),
        s->standardIcon(QStyle::SP_DialogHelpButton),
        s->standardIcon(QStyle::SP_DialogCloseButton),
        s->standardIcon(QStyle::SP_DialogApplyButton),
    };
    m_ui->addFilesButton->setIcon(m_icons.at(0));
    m_ui->removeFileButton->setIcon(m_icons.at(1));
    m_ui->clearAllButton->setIcon(m_icons.at(2));
    m_ui->settingsButton->setIcon(m_icons.at(3));
    m_ui->convertButton->setIcon(m_icons.at(7));
    m_ui->helpButton->setIcon(m_icons.at(5));
    m_ui->exitButton->setIcon(m_icons.at(6));
}

namespace {
// A control that runs an action's command follows the action's enabled state.
void followAction(QObject* control, QAction* action) {
    const auto follow = [control, action] {
        if (auto* widget = qobject_cast<QWidget*>(control))
            widget->setEnabled(action->isEnabled());
        else if (auto* entry = qobject_cast<QAction*>(control))
            entry->setEnabled(action->isEnabled());
    };
    QObject::connect(action, &QAction::changed, control, follow);
    follow();
}

// A tool strip button runs its command's action.
void bindButton(QAbstractButton* button, QAction* action) {
    QObject::connect(button, &QAbstractButton::clicked, action, &QAction::trigger);
    followAction(button, action);
}
} // namespace

void MainWindow::buildContextMenu() {
    // The context menu shows the menu bar's commands, some under captions of its own: each
    // entry runs its command's action.
    m_contextMenu = new QMenu(this);
    m_contextMenu->setObjectName(QStringLiteral("contextMenu"));
    auto add = [this](const char* name, QAction* command, const QString& text) {
        QAction* entry = m_contextMenu->addAction(text);
        entry->setObjectName(QLatin1String(name));
        connect(entry, &QAction::triggered, command, &QAction::trigger);
        followAction(entry, command);
    };
    add("contextConvert", m_ui->actionConvert, tr("Convert Now!"));
    m_contextMenu->addSeparator();
    add("contextPlay", m_ui->actionPlay, tr("Play Selected File"));
    add("contextPreviewOutput", m_ui->actionPreviewOutput, tr("Preview Output"));
    m_contextMenu->addSeparator();
    add("contextClip", m_ui->actionClip, tr("Video Clip"));
    add("contextAudioTracks", m_ui->actionAudioTracks, tr("Audio Tracks…"));
    add("contextSubtitles", m_ui->actionSubtitles, tr("Subtitles…"));
    m_contextMenu->addSeparator();
    add("contextAddFiles", m_ui->actionAddFiles, tr("Add Files"));
    add("contextRemoveItem", m_ui->actionRemoveFile, tr("Remove Selected Item"));
    add("contextClearAll", m_ui->actionClearAll, tr("Clear All Items"));
    add("contextUndo", m_ui->actionUndo, tr("Undo"));
    add("contextMoveUp", m_ui->actionMoveUp, tr("Move Up"));
    add("contextMoveDown", m_ui->actionMoveDown, tr("Move Down"));
    m_contextMenu->addSeparator();
    add("contextCapture", m_ui->actionCapture, tr("Capture Video From DV"));
    m_contextMenu->addSeparator();
    add("contextApplyProfile", m_ui->actionApplyProfile,
        tr("Apply Current Profile to Selected Files"));
    add("contextFollowPicker", m_ui->actionFollowPicker,
        tr("Use the Picked Profile for Selected Files"));
    m_contextMenu->addSeparator();
    m_showLogAction = m_contextMenu->addAction(tr("Show Encoder Log"));
    m_showLogAction->setObjectName(QStringLiteral("contextShowEncoderLog"));
    connect(m_showLogAction, &QAction::triggered, this, &MainWindow::showEncoderLog);
}

void MainWindow::connectActions() {
    // One action per command; the menu bar holds them, the tool strip and the context menu
    // run them.
    connect(m_ui->actionAddFiles, &QAction::triggered, this, &MainWindow::addFiles);
    connect(m_ui->actionRemoveFile, &QAction::triggered, this, &MainWindow::removeSelectedFile);
    connect(m_ui->actionClearAll, &QAction::triggered, this, &MainWindow::clearFiles);
    connect(m_ui->actionUndo, &QAction::triggered, this, &MainWindow::undoRemoval);
    connect(m_ui->actionApplyProfile, &QAction::triggered, this,
            &MainWindow::applyProfileToSelected);
    connect(m_ui->actionFollowPicker, &QAction::triggered, this,
            &MainWindow::followPickerForSelected);
    followUndo();
    connect(m_ui->actionMoveUp, &QAction::triggered, this, &MainWindow::moveSelectedUp);
    connect(m_ui->actionMoveDown, &QAction::triggered, this, &MainWindow::moveSelectedDown);
    connect(m_ui->actionConvert, &QAction::triggered, this, &MainWindow::convertAll);
    connect(m_ui->actionPlay, &QAction::triggered, this, &MainWindow::playSelected);
    connect(m_ui->actionPreviewOutput, &QAction::triggered, this, &MainWindow::previewOutput);
    connect(m_ui->actionClip, &QAction::triggered, this, &MainWindow::editClip);
    connect(m_ui->actionAudioTracks, &QAction::triggered, this, &MainWindow::chooseAudioTracks);
    connect(m_ui->actionSubtitles, &QAction::triggered, this, &MainWindow::chooseSubtitles);
    connect(m_ui->actionSettings, &QAction::triggered, this, &MainWindow::showSettings);
    connect(m_ui->actionCapture, &QAction::triggered, this, &MainWindow::showCapture);
    connect(m_ui->actionAbout, &QAction::triggered, this, &MainWindow::showAbout);
    connect(m_ui->actionHelp, &QAction::triggered, this, &MainWindow::showHelp);
    connect(m_ui->actionExit, &QAction::triggered, this, &MainWindow::quit);
    bindButton(m_ui->addFilesButton, m_ui->actionAddFiles);
    bindButton(m_ui->removeFileButton, m_ui->actionRemoveFile);
    bindButton(m_ui->clearAllButton, m_ui->actionClearAll);
    bindButton(m_ui->settingsButton, m_ui->actionSettings);
    bindButton(m_ui->convertButton, m_ui->actionConvert);
    bindButton(m_ui->helpButton, m_ui->actionHelp);
    bindButton(m_ui->exitButton, m_ui->actionExit);

    connect(m_ui->profileCombo, &QComboBox::activated, this, &MainWindow::applySelectedProfile);
    connect(m_ui->actionResetToProfile, &QAction::triggered, this, &MainWindow::resetToProfile);
    connect(m_ui->actionSaveAsPreset, &QAction::triggered, this, &MainWindow::saveAsPreset);
    connect(m_ui->actionManagePresets, &QAction::triggered, this, &MainWindow::managePresets);
    connect(m_ui->actionExportPresets, &QAction::triggered, this, &MainWindow::exportPresets);
    connect(m_ui->actionImportPresets, &QAction::triggered, this, &MainWindow::importPresets);
    connect(m_picker, &ProfilePicker::pickChanged, this, &MainWindow::followPick);
    m_ui->optionSheetView->setContextActions({m_ui->actionResetToProfile, m_ui->actionSaveAsPreset,
                                              m_ui->actionAudioTracks, m_ui->actionSubtitles});
    // The item page's Tracks row offers both choices.
    m_tracksMenu = new QMenu(this);
    m_tracksMenu->setObjectName(QStringLiteral("tracksMenu"));
    m_tracksMenu->addAction(m_ui->actionAudioTracks);
    m_tracksMenu->addAction(m_ui->actionSubtitles);
    connect(m_ui->optionSheetView, &QTreeWidget::itemDoubleClicked, this,
            [this](QTreeWidgetItem* item) {
                if (item == m_ui->optionSheetView->itemFor(opt::General, opt::Tracks))
                    m_tracksMenu->popup(QCursor::pos());
            });
    SourceListView* list = m_ui->sourceListView;
    // The track commands follow the chosen row and what the probe learned of its file.
    connect(list->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &MainWindow::updateTrackActions);
    connect(&m_sources, &SourceList::dataChanged, this, &MainWindow::updateTrackActions);
    connect(&m_sources, &SourceList::rowsRemoved, this, &MainWindow::updateTrackActions);
    connect(&m_sources, &SourceList::modelReset, this, &MainWindow::updateTrackActions);
    updateTrackActions();
    connect(list, &SourceListView::filesDropped, this, &MainWindow::addDroppedFiles);
    connect(list, &SourceListView::rightButtonPressed, this, &MainWindow::showContextMenu);
    connect(list, &SourceListView::rowMoveRequested, this, &MainWindow::moveSource);
    list->setOutputLookup([this](int row) { return plannedOutput(row); });
    connect(list, &QAbstractItemView::clicked, this, &MainWindow::selectSource);
    // The item page and the status bar follow the highlight, however it moves.
    connect(list->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) { showItemPage(current.row()); });
    connect(list, &QAbstractItemView::doubleClicked, this, &MainWindow::editClip);
    connect(m_ui->progressPanel, &ProgressPanel::cancelRequested, this,
            &MainWindow::cancelConversion);
    connect(m_ui->progressPanel, &ProgressPanel::pauseRequested, &m_batch, &BatchRun::setPaused);
    connect(m_ui->previewPlayer, &PlayerWidget::playRequested, this, &MainWindow::playSelected);
    connect(&m_outputPreview, &OutputPreview::ready, this,
            [this](const QString& path, double seconds, qint64 bytes) {
                statusBar()->clearMessage();
                m_ui->previewGroup->setTitle(
                    tr("%1 — output sample: %2")
                        .arg(m_previewTitle, sizePerMinuteText(bytes, seconds)));
                m_preview.play(path, static_cast<qint64>(seconds * 100));
            });
    connect(&m_outputPreview, &OutputPreview::failed, this,
            [this](const QString& why) { statusBar()->showMessage(why); });
    connect(&m_preview, &PreviewPlayer::playerStarted, this, [this] {
        m_dialogFolder = programFolder();
        // The player fills its surface: the surface takes the playing picture's shape.
        m_ui->previewPlayer->setPictureAspect(m_previewAspect);
    });
    connect(&m_batch, &BatchRun::busyChanged, this, [this](bool busy) {
        if (busy) {
            setCursor(Qt::WaitCursor);
            m_ui->progressPanel->ui()->shutdownNoticeLabel->setVisible(Preferences().autoShut());
        } else {
            unsetCursor();
        }
    });
    connect(&m_runCompletion, &RunCompletion::notice, this,
            [this](const QString& text) { statusBar()->showMessage(text); });
    connect(&m_queue, &QueueKeeper::notice, this,
            [this](const QString& text) { statusBar()->showMessage(text); });
    // The Profile column shows while some row keeps a profile of its own: otherwise every row
    // says what the picker says, and the file names keep the room. The Quality column likewise
    // shows while some row has a score.
    for (const auto changed : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved})
        connect(&m_sources, changed, this, &MainWindow::showProfileColumnWhenNeeded);
    connect(&m_sources, &QAbstractItemModel::modelReset, this,
            &MainWindow::showProfileColumnWhenNeeded);
    connect(&m_sources, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex&, const QModelIndex& to) {
                if (to.column() >= SourceList::Profile)
                    showProfileColumnWhenNeeded();
            });
    showProfileColumnWhenNeeded();
    // The estimates follow the rows, their clips and tracks, the profile and every option;
    // samples wait while a run converts.
    for (const auto changed : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved})
        connect(&m_sources, changed, &m_estimator, &SizeEstimator::refreshSoon);
    connect(&m_sources, &QAbstractItemModel::modelReset, &m_estimator, &SizeEstimator::refreshSoon);
    connect(&m_sources, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex& from, const QModelIndex& to) {
                // What the estimator and the run write themselves changes no estimate.
                if (from.column() == to.column() &&
                    (to.column() == SourceList::Estimate || to.column() == SourceList::Quality ||
                     to.column() == SourceList::Status))
                    return;
                m_estimator.refreshSoon();
            });
    connect(&m_sheet, &OptionSheet::valueChanged, &m_estimator, &SizeEstimator::refreshSoon);
    connect(m_picker, &ProfilePicker::pickChanged, &m_estimator, &SizeEstimator::refreshSoon);
    connect(&m_batch, &BatchRun::busyChanged, &m_estimator, &SizeEstimator::setSuspended);
    connect(&m_estimator, &SizeEstimator::estimatesChanged, this, &MainWindow::updateSizeStatus);
    connect(&m_sources, &QAbstractItemModel::rowsRemoved, this, &MainWindow::updateSizeStatus);
    // Rows that follow the picker show its profile.
    connect(m_picker, &ProfilePicker::pickChanged, this, [this] {
        const ProfileEntry* entry = profileAt(m_picker->profileIndex());
        m_sources.setFollowedProfile(entry && !entry->isHeading ? profileLabel(entry->caption)
                                                                : QString());
    });
}

void MainWindow::loadSettings() {
    applySkin(this);
    // The profile catalogue (its headings carry a picture), then the user's presets.
    m_picker->fill();
    m_picker->selectStored();
    fillOptionSheet(m_sheet);
    applySelectedProfile();
    m_ui->optionSheetView->applyPresentation();
    updateStatusBar();
    m_leftAs = WindowState::read(settingsFilePath());
    restoreWindowGeometry(windowParts(), m_leftAs);
    // The list of the last session (its notices show once the window does).
    if (!m_services.queueFile.isEmpty()) {
        QStringList said;
        const auto keep = connect(&m_queue, &QueueKeeper::notice, this,
                                  [&said](const QString& text) { said << text; });
        m_queue.open(m_services.queueFile);
        disconnect(keep);
        if (!said.isEmpty())
            QTimer::singleShot(
                0, this, [this, said] { statusBar()->showMessage(said.join(QLatin1Char(' '))); });
    }
    // A settings file that cannot be read at all is said once, with where it is (once the
    // window shows, so the message takes the status bar's place).
    const QString problem = settingsFileProblem(settingsFilePath());
    QString note;
    if (!problem.isEmpty())
        note = tr("Clipvane cannot read its settings file %1 (%2); it uses its "
                  "defaults.")
                   .arg(QDir::toNativeSeparators(settingsFilePath()), problem);
    // One that will not be written (a link to a file of other things) keeps the changes of
    // this session only.
    else if (const QString refused = settingsWriteProblem(settingsFilePath()); !refused.isEmpty())
        note = tr("Clipvane cannot save its settings to %1 (%2); changes last for this session "
                  "only.")
                   .arg(QDir::toNativeSeparators(settingsFilePath()), refused);
    // A path an older program wrote in its 8-bit code page is read as such, and said.
    else if (const QStringList old = Preferences().convertedPathKeys(); !old.isEmpty())
        note = tr("%1 in settings.dat was written in an older encoding (Windows-1252) and has "
                  "been read as such; it is stored in UTF-8 when you save the settings.")
                   .arg(old.join(QStringLiteral(", ")));
    if (!note.isEmpty())
        QTimer::singleShot(0, this, [this, note] { statusBar()->showMessage(note); });
}

void MainWindow::saveSettings() {
    if (m_settingsSaved)
        return;
    m_settingsSaved = true;
    m_ui->optionSheetView->commitOpenEditor();
    m_picker->store();
    captureWindowState(windowParts()).write(settingsFilePath());
}

void MainWindow::closeEvent(QCloseEvent* event) {
    // Quitting during a run asks what becomes of the files under way, unless the session is
    // ending: then they are finished in the background.
    if (m_batch.isRunning() && m_batch.underWayCount() > 0 && !m_closeUnasked) {
        const QuitChoice choice =
            m_services.messages
                ? m_services.messages->quitChoice(m_batch.underWayCount(), m_batch.waitingCount())
                : QuitChoice::FinishInBackground;
        if (choice == QuitChoice::KeepConverting) {
            event->ignore();
            return;
        }
        if (choice == QuitChoice::StopNow)
            m_batch.stopAtExit();
    }
    saveSettings();
    m_queue.saveNow();
    event->accept();
    if (m_services.endProcess)
        m_services.endProcess();
}

void MainWindow::applySelectedProfile() {
    m_picker->applyPick();
}

void MainWindow::followPick() {
    const bool hasProfile = m_picker->hasProfile();
    m_ui->actionResetToProfile->setEnabled(hasProfile);
    m_ui->actionSaveAsPreset->setEnabled(hasProfile);
    m_ui->actionApplyProfile->setEnabled(hasProfile);
}

void MainWindow::resetToProfile() {
    m_ui->optionSheetView->commitOpenEditor();
    m_picker->resetToProfile();
}

void MainWindow::saveAsPreset() {
    m_ui->optionSheetView->commitOpenEditor();
    if (!m_picker->hasProfile())
        return;
    const Preset* picked = m_picker->pickedPreset();
    SavePresetDialog dialog(m_picker->presets(),
                            profileCatalogue().value(m_picker->profileIndex() - 1).caption,
                            picked ? picked->name : QString(), this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    if (!m_picker->saveAsPreset(dialog.name()) && m_services.messages)
        m_services.messages->error(
            tr("The preset could not be saved: settings.dat cannot be written."));
}

void MainWindow::managePresets() {
    PresetsDialog dialog(m_picker->presets(), this, m_services.presetFiles, m_services.messages);
    if (dialog.exec() == QDialog::Accepted || dialog.presetsWritten())
        m_picker->reload();
}

void MainWindow::exportPresets() {
    exportPresetFile(this, m_services.presetFiles, m_services.messages);
}

void MainWindow::importPresets() {
    if (importPresetFile(this, m_services.presetFiles, m_services.messages))
        m_picker->reload();
}

WindowParts MainWindow::windowParts() const {
    return {const_cast<MainWindow*>(this), m_ui->splitterMain, m_ui->splitterRight,
            m_ui->sourceListView->header()};
}

void MainWindow::addFile(const QString& path) {
    m_probes.add(path);
}

void MainWindow::addFiles() {
    const QStringList chosen =
        m_services.openFiles ? m_services.openFiles(this, m_dialogFolder) : QStringList();
    const ChosenFiles files = splitChosenPaths(chosen);
    if (!files.names.isEmpty())
        m_dialogFolder = files.folder;
    QStringList paths;
    for (const QString& name : files.names)
        paths.append(files.folder + name);
    // Examined several at a time; a batch started meanwhile waits for the whole choice.
    m_probes.add(paths);
}

int MainWindow::selectedRow() const {
    const QModelIndex current = m_ui->sourceListView->currentIndex();
    if (!current.isValid() || !m_ui->sourceListView->selectionModel()->isRowSelected(current.row()))
        return -1;
    return current.row();
}

QList<int> MainWindow::selectedRows() const {
    QList<int> rows;
    for (const QModelIndex& index : m_ui->sourceListView->selectionModel()->selectedRows())
        rows.append(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

bool MainWindow::stopRowsUnderWay(const QList<SourceList::Id>& ids) {
    QList<SourceList::Id> underWay;
    for (SourceList::Id id : ids) {
        if (m_batch.isUnderWay(id))
            underWay.append(id);
    }
    if (underWay.isEmpty())
        return true;
    const QString question =
        underWay.size() == 1
            ? tr("%1 is being converted. Stop converting it and take it out of the list?")
                  .arg(QFileInfo(m_sources.text(underWay.first(), SourceList::FileName)).fileName())
            : tr("%1 of these files are being converted. Stop converting them and take them "
                 "out of the list?")
                  .arg(underWay.size());
    return !m_services.messages || m_services.messages->confirm(question);
}

void MainWindow::removeSelectedFile() {
    const QList<int> rows = selectedRows();
    if (rows.isEmpty())
        return;
    QList<SourceList::Id> ids;
    for (int row : rows)
        ids.append(m_sources.idAt(row));
    if (!stopRowsUnderWay(ids))
        return;
    m_batch.letGo(ids);
    m_removed.remove(m_sources, rows);
    followUndo();
}

void MainWindow::clearFiles() {
    QList<SourceList::Id> ids;
    for (int row = 0; row < m_sources.count(); ++row)
        ids.append(m_sources.idAt(row));
    if (!stopRowsUnderWay(ids))
        return;
    m_batch.letGo(ids);
    m_removed.removeAll(m_sources);
    followUndo();
}

void MainWindow::undoRemoval() {
    const QList<SourceList::Id> back = m_removed.undo(m_sources);
    followUndo();
    if (back.isEmpty())
        return;
    highlightRow(m_sources.rowOf(back.first()));
}

void MainWindow::highlightRow(int row) {
    // Selected alone, whatever keys are held (a held Ctrl would toggle it).
    QTreeView* view = m_ui->sourceListView;
    view->selectionModel()->setCurrentIndex(
        m_sources.index(row, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    view->scrollTo(view->currentIndex());
}

void MainWindow::followUndo() {
    m_ui->actionUndo->setEnabled(m_removed.canUndo());
}

void MainWindow::applyProfileToSelected() {
    m_ui->optionSheetView->commitOpenEditor();
    const std::optional<RowProfile> own = makeRowProfile(m_picker->profileIndex(), m_sheet);
    if (!own)
        return;
    for (int row : selectedRows())
        m_sources.setRowProfile(m_sources.idAt(row), own);
    updateStatusBar();
}

void MainWindow::followPickerForSelected() {
    for (int row : selectedRows())
        m_sources.setRowProfile(m_sources.idAt(row), std::nullopt);
    updateStatusBar();
}

void MainWindow::closeWithoutAsking() {
    m_closeUnasked = true;
    close();
}

void MainWindow::addDroppedFiles(const QStringList& paths) {
    // What can be added is; what cannot is named in one message.
    const QStringList refused = refusedDrops(paths);
    QStringList accepted;
    for (const QString& path : paths)
        if (!refused.contains(path))
            accepted.append(path);
    // Examined several at a time; a batch started meanwhile waits for the whole drop.
    m_probes.add(accepted);
    unsetCursor();
    if (!refused.isEmpty() && m_services.messages)
        m_services.messages->information(refusedDropsMessage(refused));
}

void MainWindow::showContextMenu(const QPoint& globalPos) {
    const int row = selectedRow();
    m_showLogAction->setEnabled(row >= 0 &&
                                QFileInfo::exists(m_sources.logPath(m_sources.idAt(row))));
    m_contextMenu->popup(globalPos);
}

void MainWindow::showEncoderLog() {
    const int row = selectedRow();
    if (row < 0)
        return;
    const QString log = m_sources.logPath(m_sources.idAt(row));
    if (!QFileInfo::exists(log))
        return;
    EncoderLogDialog dialog(m_sources.textAt(row, SourceList::FileName), log, this);
    dialog.exec();
}

void MainWindow::turnOffShutdown() {
    Preferences().setValue(Preferences::kAutoShut, QStringLiteral("0"));
    updateStatusBar();
}

void MainWindow::updateStatusBar() {
    const Preferences preferences;
    m_shutdownStatus->setVisible(preferences.autoShut());
    m_runCompletion.setAutoShut(preferences.autoShut());
    // A run going now follows too: the panel's notice goes with the setting.
    if (m_batch.isRunning())
        m_ui->progressPanel->ui()->shutdownNoticeLabel->setVisible(preferences.autoShut());
    // The selected row's file as the next run would write it, else the folder.
    const int row = selectedRow();
    const QString planned = row >= 0 ? plannedOutput(row) : QString();
    QString where = planned;
    if (where.isEmpty()) {
        where = QDir::toNativeSeparators(preferences.effectiveOutputFolder());
        if (preferences.nextToSource())
            where =
                tr("beside each source file (where that folder cannot be written: %1)").arg(where);
    }
    m_outputStatus->setText(tr("Output: %1 \u00b7 %2")
                                .arg(where, preferences.overwriteExisting()
                                                ? tr("overwrite existing files")
                                                : tr("keep existing files")));
    updateSizeStatus();
}

void MainWindow::updateSizeStatus() {
    const SizeEstimator::Total total = m_estimator.total();
    if (total.known == 0 && total.pending == 0) {
        m_sizeStatus->clear();
        return;
    }
    const Preferences preferences;
    const qint64 free = freeBytesFor(preferences.effectiveOutputFolder());
    QString text = tr("Estimate: %1").arg(sizeText(static_cast<double>(total.bytes)));
    if (total.pending > 0)
        text += tr(" (files still measured: %1)").arg(total.pending);
    if (free >= 0)
        text += tr(" \u00b7 %1 free").arg(sizeText(static_cast<double>(free)));
    m_sizeStatus->setText(text);
    m_sizeStatus->setToolTip(
        tr("The expected size of all converted files, and the free space on the disk of "
           "the output folder."));
}

void MainWindow::convertAll() {
    // An option still being edited counts: the run reads the sheet as the user sees it.
    m_ui->optionSheetView->commitOpenEditor();
    if (!m_batch.canStart())
        return;
    // Outputs that will not fit are said before anything starts; estimates may be off, so
    // the user decides.
    if (const std::optional<QString> shortfall =
            spaceShortfall(m_sources, RunSettings::read(Preferences()));
        shortfall && m_services.messages &&
        !m_services.messages->confirm(*shortfall + QStringLiteral("\n\n") + tr("Convert anyway?")))
        return;
    if (m_playerState.playerProcessId != 0 && m_services.keys)
        m_services.keys->sendKey(m_playerState.playerProcessId, QLatin1String(kPlayerTool),
                                 ToolKey::Quit);
    // The run is given the settings as they are now.
    const RunSettings settings = RunSettings::read(Preferences());
    m_runCompletion.setAutoShut(settings.autoShut);
    if (const std::optional<QString> refused = m_batch.start(settings);
        refused && m_services.messages)
        m_services.messages->warning(*refused);
}

void MainWindow::moveSource(int from, int to) {
    if (from < 0 || from >= m_sources.count() || to < 0 || to >= m_sources.count())
        return;
    // During a run only a waiting row moves, and never past a row under way, which stays
    // where it is.
    if (m_batch.isRunning()) {
        if (!m_batch.isWaiting(m_sources.idAt(from)))
            return;
        for (int row = std::min(from, to); row <= std::max(from, to); ++row) {
            if (m_batch.isUnderWay(m_sources.idAt(row)))
                return;
        }
    }
    if (!m_sources.moveRow(from, to))
        return;
    highlightRow(to);
}

void MainWindow::moveSelectedUp() {
    const int row = selectedRow();
    if (row > 0)
        moveSource(row, row - 1);
}

void MainWindow::moveSelectedDown() {
    const int row = selectedRow();
    if (row >= 0)
        moveSource(row, row + 1);
}

void MainWindow::cancelConversion() {
    if (!m_batch.isRunning())
        return;
    const CancelChoice choice =
        m_services.messages ? m_services.messages->cancelChoice() : CancelChoice::StopNow;
    switch (choice) {
    case CancelChoice::StopNow:
        m_batch.cancel();
        break;
    case CancelChoice::SkipThisFile:
        m_batch.skipCurrent();
        break;
    case CancelChoice::FinishThisFile:
        m_batch.finishCurrentThenStop();
        break;
    case CancelChoice::KeepConverting:
        break;
    }
}

void MainWindow::showHelp() {
    if (m_services.desktop)
        m_services.desktop->showHelp(programFolder() + QStringLiteral("/help.html"));
}

void MainWindow::quit() {
    if (m_quitting)
        return;
    m_quitting = true;
    // The preview's player is told to quit ("q", ended should it not listen) and its clock
    // stops; the window closes once the player has gone, so that it ends as a player ends and
    // is not killed with the program.
    m_preview.quitThen([this] { close(); });
}

void MainWindow::highlightToolButton(QToolButton* button) {
    button->setProperty("framed", true);
    button->setAutoRaise(false);
    button->style()->unpolish(button);
    button->style()->polish(button);
}

void MainWindow::clearToolButtonHighlights() {
    for (QToolButton* button : std::as_const(m_toolButtons)) {
        if (!isToolButtonHighlighted(button))
            continue;
        button->setProperty("framed", false);
        button->setAutoRaise(true);
        button->style()->unpolish(button);
        button->style()->polish(button);
    }
}

bool MainWindow::isToolButtonHighlighted(const QToolButton* button) const {
    return button->property("framed").toBool();
}

void MainWindow::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!m_optionsPaneFitted) {
        m_optionsPaneFitted = true;
        // The panes as the user left them, or laid out afresh.
        QTimer::singleShot(0, this, [this] {
            if (!restoreSplitters(windowParts(), m_leftAs))
                fitOptionsPane();
            if (!restoreColumns(windowParts(), m_leftAs))
                fitColumns(m_ui->sourceListView,
                           {"", "0:00:00.50", "0:00:00.50", "1920x1080", "MPEG-4", "Processing",
                            "0:00:00", "MP4 H.265", "\u2248 410 MB", "SSIM 0.987"});
        });
    }
}

void MainWindow::fitOptionsPane() {
    // The whole option sheet in sight where it fits; the picture takes the rest of the column.
    OptionSheetWidget* grid = m_ui->optionSheetView;
    QTreeWidgetItem* last = nullptr;
    for (QTreeWidgetItemIterator it(grid); *it; ++it)
        last = *it;
    if (!last || !grid->isVisible())
        return;
    grid->scrollToTop();
    const int contents = grid->visualItemRect(last).bottom() + 1 + grid->header()->height() +
                         2 * grid->frameWidth() + 2;
    const int chrome = m_ui->optionsGroup->height() - grid->height();
    const int total = m_ui->splitterRight->height() - m_ui->splitterRight->handleWidth();
    // A sheet taller than the column scrolls: the picture keeps room to be seen (170 pixels
    // beyond its least) or 45 % of the column, whichever is more.
    const int picture =
        std::max(m_ui->previewGroup->minimumSizeHint().height() + 170, total * 9 / 20);
    const int options = std::max(0, std::min(contents + chrome, total - picture));
    m_ui->splitterRight->setSizes({total - options, options});
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_outputStatus && event->type() == QEvent::MouseButtonRelease) {
        showSettings();
        return true;
    }
    if (event->type() == QEvent::MouseMove || event->type() == QEvent::Enter) {
        if (auto* button = qobject_cast<QToolButton*>(watched); m_toolButtons.contains(button))
            highlightToolButton(button);
        else if (watched == m_ui->toolStrip && event->type() == QEvent::MouseMove)
            clearToolButtonHighlights();
    }
    if (watched == m_ui->sourceListView && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->matches(QKeySequence::Delete)) {
        removeSelectedFile(); // as users expect of a list
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::selectSource() {
    const int row = selectedRow();
    if (m_sources.count() == 0 || row < 0)
        return;
    m_preview.setSourcePath(m_sources.textAt(row, SourceList::FileName));
    m_previewAspect = m_sources.pictureAspect(m_sources.idAt(row));
    showItemPage(row);
}

void MainWindow::showItemPage(int row) {
    const SourceList::Id id = m_sources.idAt(row);
    if (id == 0) {
        // No row: the page as it starts, never a file that has gone.
        OptionSheet fresh;
        fillOptionSheet(fresh);
        const QList<std::pair<QString, QString>> rows = {
            {opt::General, opt::ItemName},
            {opt::General, opt::Picture},
            {opt::OutputDuration, opt::AllClipDuration},
            {opt::OutputDuration, opt::StartTime},
            {opt::OutputDuration, opt::StopTime}};
        for (const auto& [category, caption] : rows)
            m_sheet.setValue(category, caption, fresh.value(category, caption).value_or(QString()));
        updateStatusBar();
        return;
    }
    m_sheet.setValue(opt::General, opt::ItemName, m_sources.textAt(row, SourceList::FileName));
    m_sheet.setValue(opt::General, opt::Tracks,
                     keptTracksSummary(m_sources.streamFacts(id), m_sources.trackChoice(id)));
    m_sheet.setValue(opt::General, opt::Picture,
                     pictureFactsText(m_sources.streamFacts(id).picture));
    updateStatusBar(); // with the file this row will become
    // The clip's length, where both ends are known.
    const std::optional<qint64> s = m_sources.clipStart(id);
    const std::optional<qint64> e = m_sources.clipEnd(id);
    m_sheet.setValue(opt::OutputDuration, opt::AllClipDuration,
                     s && e && *e >= *s ? clipTimeText(*e - *s) : QString());
    m_sheet.setValue(opt::OutputDuration, opt::StartTime, m_sources.textAt(row, SourceList::Start));
    m_sheet.setValue(opt::OutputDuration, opt::StopTime, m_sources.textAt(row, SourceList::End));
}

QString MainWindow::plannedOutput(int row) const {
    const RunSettings settings = RunSettings::read(Preferences());
    const QString path = plannedOutputPath(m_sources, row, m_sheet,
                                           m_picker ? m_picker->profileIndex() : 0, settings);
    if (path.isEmpty())
        return path;
    // Beside the source was asked for, and its folder takes no new files.
    if (outputPlace(m_sources.textAt(row, SourceList::FileName), settings).fellBack)
        return tr("%1 (the source's own folder cannot be written)")
            .arg(QDir::toNativeSeparators(path));
    return QDir::toNativeSeparators(path);
}

void MainWindow::editClip() {
    if (m_sources.count() == 0)
        return;
    // The preview ends before the dialog's own player starts.
    m_preview.quit();
    const std::optional<ClipOpening> opening =
        ClipOpening::fromSelectedRow(m_sources, selectedRow());
    if (!opening)
        return;
    m_playerState.position = 0;
    m_playerState.length = 0;
    ClipDialog dialog(*opening, &m_playerState, m_services.keys, &m_sources, m_services.messages,
                      this);
    dialog.loadClip();
    // The item page shows the new clip at once.
    if (dialog.exec() == QDialog::Accepted && m_sources.contains(opening->row))
        showItemPage(m_sources.rowOf(opening->row));
    // The preview's player has gone: no stale picture of it stays behind.
    m_ui->previewPlayer->videoSurface()->update();
}

void MainWindow::chooseAudioTracks() {
    chooseTracks(true);
}

void MainWindow::chooseSubtitles() {
    chooseTracks(false);
}

void MainWindow::chooseTracks(bool audio) {
    const int row = selectedRow();
    if (row < 0)
        return;
    const SourceList::Id id = m_sources.idAt(row);
    TracksDialog dialog(audio ? TracksDialog::Kind::Audio : TracksDialog::Kind::Subtitles,
                        m_sources.text(id, SourceList::FileName), m_sources.streamFacts(id),
                        m_sources.trackChoice(id), this);
    if (dialog.exec() != QDialog::Accepted || !m_sources.contains(id))
        return;
    m_sources.setTrackChoice(id, dialog.choice());
    showItemPage(m_sources.rowOf(id));
}

void MainWindow::updateTrackActions() {
    const int row = selectedRow();
    const StreamFacts facts = row >= 0 ? m_sources.streamFacts(m_sources.idAt(row)) : StreamFacts();
    m_ui->actionAudioTracks->setEnabled(!facts.audio.isEmpty());
    m_ui->actionSubtitles->setEnabled(!facts.subtitles.isEmpty());
}

void MainWindow::showSettings() {
    SettingsDialog dialog(this, {}, m_services.messages);
    dialog.loadSettings();
    dialog.exec();
    // A run under way takes a new "files at once" from its next file on.
    m_batch.setParallel(Preferences().parallel());
    updateStatusBar();
}

void MainWindow::showCapture() {
    CaptureDialog capture(this);
    capture.loadDevices();
    capture.exec();
}

void MainWindow::showAbout() {
    AboutDialog about(this);
    about.exec();
}

void MainWindow::playSelected() {
    if (!m_previewTitle.isEmpty())
        m_ui->previewGroup->setTitle(m_previewTitle);
    const int row = selectedRow();
    // With no row chosen there is nothing to play (never an empty or stale path).
    if (m_sources.count() == 0 || row < 0)
        return;
    m_previewAspect = m_sources.pictureAspect(m_sources.idAt(row));
    m_preview.play(m_sources.textAt(row, SourceList::FileName),
                   m_sources.length(m_sources.idAt(row)));
}

void MainWindow::previewOutput() {
    m_ui->optionSheetView->commitOpenEditor();
    const int row = selectedRow();
    if (m_sources.count() == 0 || row < 0)
        return;
    const SourceList::Id id = m_sources.idAt(row);
    const RowEncoding encoding =
        rowEncoding(m_sources, id, m_picker ? m_picker->profileIndex() : 0, &m_sheet);
    if (m_previewTitle.isEmpty())
        m_previewTitle = m_ui->previewGroup->title();
    m_ui->previewGroup->setTitle(m_previewTitle);
    if (const auto* error = std::get_if<EncoderCommandError>(&encoding.options)) {
        statusBar()->showMessage(error->reason);
        return;
    }
    EncoderInputs in = rowInputs(m_sources, id, encoding.profile, RunSettings::read(Preferences()));
    in.options = std::get<EncoderOptions>(encoding.options);
    // The sample's shape, for the player's surface.
    const EncoderOptions& o = in.options;
    double aspect = o.sameSizeAsSource() ? m_sources.pictureAspect(id)
                                         : double(o.width) / std::max(1, o.height);
    if ((o.picture.rotate == 90 || o.picture.rotate == 270) && aspect > 0)
        aspect = 1 / aspect;
    if (const std::optional<QString> why = m_outputPreview.start(in)) {
        statusBar()->showMessage(*why);
        return;
    }
    m_previewAspect = aspect;
    statusBar()->showMessage(tr("Making a sample of the output…"));
}

void MainWindow::addStartupFiles(const QStringList& paths, const QStringList& badNames) {
    QStringList skipped;
    QStringList files;
    for (const QString& name : badNames)
        appendRefused(m_sources, QFileInfo(name).absoluteFilePath(), notUtf8Note());
    for (const QString& path : paths) {
        const QFileInfo info(path); // a relative name is taken from the current folder
        if (!info.isFile()) {
            skipped.append(path);
            continue;
        }
        if (files.isEmpty())
            m_dialogFolder = info.absolutePath(); // as after choosing them with Add Files
        files.append(info.absoluteFilePath());
    }
    // Examined several at a time; a batch started meanwhile waits for all of them.
    m_probes.add(files);
    if (!skipped.isEmpty() && m_services.messages)
        m_services.messages->warning(tr("Only files can be added. Not added:\n") +
                                     skipped.join(QLatin1Char('\n')));
}

void MainWindow::showProfileColumnWhenNeeded() {
    bool own = false;
    bool scored = false;
    for (int row = 0; row < m_sources.count(); ++row) {
        const SourceList::Id id = m_sources.idAt(row);
        own = own || m_sources.rowProfile(id).has_value();
        scored = scored || m_sources.score(id).has_value();
    }
    QHeaderView* header = m_ui->sourceListView->header();
    header->setSectionHidden(SourceList::Profile, !own);
    header->setSectionHidden(SourceList::Quality, !scored);
}

} // namespace clipvane
