#include "app/mainwindow.h"

#include "app/aboutdialog.h"
#include "app/capturedialog.h"
#include "app/clipdialog.h"
#include "app/encoderlogdialog.h"
#include "app/settingsdialog.h"
#include "app/skin.h"
#include "base/apppaths.h"
#include "base/desktopservices.h"
#include "base/messageboxes.h"
#include "base/textvalues.h"
#include "options/optionsheet.h"
#include "options/profiles.h"
#include "process/childtools.h"
#include "settings/preferences.h"
#include "sources/fileselect.h"
#include "sources/mediaprobe.h"
#include "ui_mainwindow.h"

#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidgetItemIterator>
#include <algorithm>

namespace clipvane {

MainWindow::MainWindow(const MainWindowServices& services, QWidget* parent)
    : QMainWindow(parent), ui(std::make_unique<Ui::MainWindow>()), m_services(services),
      m_batch(BatchRun::Environment{&m_list, &m_sheet,
                                    [this] { return ui->ImageCombo1->currentIndex() + 1; },
                                    services.keys, services.desktop, services.messages}),
      m_preview(&m_player, services.keys, PlayerOptionTexts::preview()),
      m_dialogFolder(QDir::currentPath()) {
    ui->setupUi(this);
    setAttribute(Qt::WA_DeleteOnClose, false);

    ui->lvwAudioTracks->setModel(&m_list);
    // Every column in sight: the short columns fit their texts, the file name takes the rest.
    QHeaderView* header = ui->lvwAudioTracks->header();
    header->setStretchLastSection(false);
    header->setMinimumSectionSize(60);
    for (int c = 0; c < SourceList::ColumnCount; ++c)
        header->setSectionResizeMode(c, c == SourceList::FileName ? QHeaderView::Stretch
                                                                  : QHeaderView::ResizeToContents);
    ui->lvwAudioTracks->setContextMenuPolicy(Qt::NoContextMenu);
    ui->splitterMain->setStretchFactor(0, 3);
    ui->splitterMain->setStretchFactor(1, 2);
    ui->splitterMain->setSizes({840, 440});
    // The picture takes what the option sheet leaves; the user can move the divide.
    ui->splitterRight->setStretchFactor(0, 1);
    ui->splitterRight->setStretchFactor(1, 0);
    ui->splitterRight->setSizes({240, 460});

    // The player draws into Text2.
    m_preview.setSurface(makeVideoSurface(ui->Text2));
    ui->Slider1->installEventFilter(this);
    ui->Slider1->setTracking(true);

    ui->PS1->bind(&m_sheet);
    ui->prgTrackProgress->setRange(0, 100);
    ui->prgTotalProgress->setRange(0, 100);

    buildImageList();
    buildPopupMenu();
    connectHandlers();
    updateCommandStates();

    // The strip's pictures: a border while the pointer is on them, a tooltip naming the key.
    m_pictures = {ui->Image1, ui->Image2,  ui->Image7, ui->Image8,
                  ui->Image9, ui->Image10, ui->Image11};
    const QList<QPair<QToolButton*, QAction*>> keyOf = {
        {ui->Image1, ui->AddFiles},      {ui->Image2, ui->RemoveSelectedFile},
        {ui->Image9, ui->ClearAllFiles}, {ui->Image10, ui->options},
        {ui->Image11, ui->BurnNow},      {ui->Image8, ui->helphelp},
        {ui->Image7, ui->exit}};
    for (const auto& [picture, action] : keyOf) {
        picture->setMouseTracking(true);
        picture->installEventFilter(this);
        picture->setToolTip(picture->toolTip() + QStringLiteral(" (") +
                            action->shortcut().toString(QKeySequence::NativeText) +
                            QLatin1Char(')'));
    }
    ui->Picture3->setMouseTracking(true);
    ui->Picture3->installEventFilter(this);
    ui->lvwAudioTracks->installEventFilter(this);

    // Long paths are cut in the middle, where they differ least; the tooltip has them whole.
    ui->lvwAudioTracks->setTextElideMode(Qt::ElideMiddle);
    // Where the files go, in the status bar; a click opens the settings.
    m_outputStatus = new QLabel(this);
    m_outputStatus->setObjectName(QStringLiteral("lblOutput"));
    m_outputStatus->setCursor(Qt::PointingHandCursor);
    m_outputStatus->setToolTip(QStringLiteral("Click to change the output settings"));
    m_outputStatus->installEventFilter(this);
    statusBar()->addWidget(m_outputStatus, 1);

    // The progress panel floats over the window, where the user drags it.
    ui->centralLayout->removeWidget(ui->Picture4);
    ui->Picture4->setParent(ui->centralwidget);
    ui->Picture4->installEventFilter(this);
    ui->Picture4->hide();
}

MainWindow::~MainWindow() = default;

void MainWindow::buildImageList() {
    QStyle* s = style();
    // Pictures for the tool strip and the picker; picture 5 marks the Flash Video family.
    ImageList1 = {
        s->standardIcon(QStyle::SP_FileDialogNewFolder),
        s->standardIcon(QStyle::SP_TrashIcon),
        s->standardIcon(QStyle::SP_DialogResetButton),
        s->standardIcon(QStyle::SP_FileDialogDetailedView),
        s->standardIcon(QStyle::SP_MediaPlay),
        s->standardIcon(QStyle::SP_DialogHelpButton),
        s->standardIcon(QStyle::SP_DialogCloseButton),
        s->standardIcon(QStyle::SP_DialogApplyButton),
    };
    ui->Image1->setIcon(ImageList1.at(0));
    ui->Image2->setIcon(ImageList1.at(1));
    ui->Image9->setIcon(ImageList1.at(2));
    ui->Image10->setIcon(ImageList1.at(3));
    ui->Image11->setIcon(ImageList1.at(7));
    ui->Image8->setIcon(ImageList1.at(5));
    ui->Image7->setIcon(ImageList1.at(6));
}

namespace {
// A tool strip picture runs its command's action and follows its enabled state.
void bindButton(QAbstractButton* button, QAction* action) {
    QObject::connect(button, &QAbstractButton::clicked, action, &QAction::trigger);
    QObject::connect(action, &QAction::changed, button,
                     [button, action] { button->setEnabled(action->isEnabled()); });
    button->setEnabled(action->isEnabled());
}
} // namespace

void MainWindow::buildPopupMenu() {
    // The context menu shows the menu bar's commands, some under captions of its own: each
    // entry runs its command's action and follows its enabled state.
    popupmenu1 = new QMenu(this);
    popupmenu1->setObjectName(QStringLiteral("popupmenu1"));
    auto add = [this](const char* name, QAction* command, const QString& text) {
        QAction* entry = popupmenu1->addAction(text);
        entry->setObjectName(QLatin1String(name));
        connect(entry, &QAction::triggered, command, &QAction::trigger);
        connect(command, &QAction::changed, entry,
                [entry, command] { entry->setEnabled(command->isEnabled()); });
        entry->setEnabled(command->isEnabled());
    };
    add("convertnow1", ui->BurnNow, QStringLiteral("Convert Now!"));
    popupmenu1->addSeparator();
    add("PlaySelectedFile", ui->play, QStringLiteral("Play Selected File"));
    popupmenu1->addSeparator();
    add("cuttime", ui->videoclip, QStringLiteral("Video Clip"));
    popupmenu1->addSeparator();
    add("AddFiless", ui->AddFiles, QStringLiteral("Add Files"));
    add("RemoveSelectedItem", ui->RemoveSelectedFile, QStringLiteral("Remove Selected Item"));
    add("ClearAllItems", ui->ClearAllFiles, QStringLiteral("Clear All Items"));
    popupmenu1->addSeparator();
    add("Capture1", ui->Capture, QStringLiteral("Capture Video From DV"));
    popupmenu1->addSeparator();
    m_showLog = popupmenu1->addAction(QStringLiteral("Show Encoder Log"));
    m_showLog->setObjectName(QStringLiteral("ShowEncoderLog"));
    connect(m_showLog, &QAction::triggered, this, &MainWindow::ShowEncoderLog_Click);
}

void MainWindow::connectHandlers() {
    // One action per command; the menu bar holds them, the tool strip and the context menu
    // run them.
    connect(ui->AddFiles, &QAction::triggered, this, &MainWindow::AddFiles_Click);
    connect(ui->RemoveSelectedFile, &QAction::triggered, this,
            &MainWindow::RemoveSelectedFile_Click);
    connect(ui->ClearAllFiles, &QAction::triggered, this, &MainWindow::ClearAllFiles_Click);
    connect(ui->BurnNow, &QAction::triggered, this, &MainWindow::BurnNow_Click);
    connect(ui->play, &QAction::triggered, this, &MainWindow::cmdPlay_Click);
    connect(ui->videoclip, &QAction::triggered, this, &MainWindow::videoclip_Click);
    connect(ui->options, &QAction::triggered, this, &MainWindow::options_Click);
    connect(ui->Capture, &QAction::triggered, this, &MainWindow::Capture_Click);
    connect(ui->About, &QAction::triggered, this, &MainWindow::About_Click);
    connect(ui->helphelp, &QAction::triggered, this, &MainWindow::ShowHelp);
    connect(ui->exit, &QAction::triggered, this, &MainWindow::exit_Click);
    bindButton(ui->Image1, ui->AddFiles);
    bindButton(ui->Image2, ui->RemoveSelectedFile);
    bindButton(ui->Image9, ui->ClearAllFiles);
    bindButton(ui->Image10, ui->options);
    bindButton(ui->Image11, ui->BurnNow);
    bindButton(ui->Image8, ui->helphelp);
    bindButton(ui->Image7, ui->exit);
    // Picker, list, progress panel.
    connect(ui->ImageCombo1, &QComboBox::activated, this, &MainWindow::ImageCombo1_Click);
    connect(ui->lvwAudioTracks, &SourceListView::filesDropped, this,
            &MainWindow::lvwAudioTracks_OLEDragDrop);
    connect(ui->lvwAudioTracks, &SourceListView::mousePressed, this,
            &MainWindow::lvwAudioTracks_MouseDown);
    connect(ui->Command1, &QPushButton::clicked, this, &MainWindow::Command1_Click);
    connect(ui->lvwAudioTracks, &QAbstractItemView::clicked, this,
            &MainWindow::lvwAudioTracks_Click);
    connect(ui->lvwAudioTracks, &QAbstractItemView::doubleClicked, this,
            &MainWindow::lvwAudioTracks_DblClick);

    // The preview: the buttons run the player's operations, the window shows its clock.
    connect(ui->cmdPlay, &QPushButton::clicked, this, &MainWindow::cmdPlay_Click);
    connect(ui->cmdPause, &QPushButton::clicked, this, &MainWindow::cmdPause_Click);
    connect(ui->cmdStop, &QPushButton::clicked, this, &MainWindow::cmdStop_Click);
    connect(ui->cmdBack, &QPushButton::clicked, this, &MainWindow::cmdBack_Click);
    connect(ui->cmdForward, &QPushButton::clicked, this, &MainWindow::cmdForward_Click);
    connect(ui->Command4, &QPushButton::clicked, this, &MainWindow::Command4_Click);
    connect(ui->Command5, &QPushButton::clicked, this, &MainWindow::Command5_Click);
    connect(&m_preview, &PreviewPlayer::clockTextChanged, ui->LblCurTime, &QLabel::setText);
    connect(&m_preview, &PreviewPlayer::totalTextChanged, ui->SkinLabel10, &QLabel::setText);
    connect(&m_preview, &PreviewPlayer::sliderValueChanged, this, [this](int value) {
        if (!ui->Slider1->isSliderDown()) // the user's hand wins over the clock
            ui->Slider1->setValue(value);
    });
    connect(&m_preview, &PreviewPlayer::playerStarted, this,
            [this] { m_dialogFolder = programFolder(); });

    connect(&m_batch, &BatchRun::panelVisibleChanged, this, [this](bool visible) {
        QWidget* panel = ui->Picture4;
        if (visible) {
            panel->adjustSize();
            // Centred the first time; where the user left it after that.
            if (!m_panelPlaced) {
                m_panelPlaced = true;
                const QSize area = ui->centralwidget->size();
                panel->move((area.width() - panel->width()) / 2,
                            (area.height() - panel->height()) / 2);
            }
            panel->raise();
        }
        panel->setVisible(visible);
    });
    connect(&m_batch, &BatchRun::panelCaptionChanged, ui->Frame14, &QGroupBox::setTitle);
    connect(&m_batch, &BatchRun::itemProgressChanged, ui->prgTrackProgress,
            &QProgressBar::setValue);
    connect(&m_batch, &BatchRun::totalProgressChanged, ui->prgTotalProgress,
            &QProgressBar::setValue);
    connect(&m_batch, &BatchRun::elapsedTextChanged, ui->SkinLabel2, &QLabel::setText);
    connect(&m_batch, &BatchRun::timeLeftChanged, ui->lblTimeLeft, &QLabel::setText);
    connect(&m_batch, &BatchRun::autoShutChanged, ui->lblAutoShut, &QWidget::setVisible);
    connect(&m_batch, &BatchRun::busyChanged, this, [this](bool busy) {
        if (busy)
            setCursor(Qt::WaitCursor);
        else
            unsetCursor();
    });
}

void MainWindow::updateCommandStates() {
    // Every command is available; those that need rows say nothing when there are none.
}

void MainWindow::Form_Load() {
    // 1. Skin.
    applySkin(this);
    // 2-3. The picker's pictures come from ImageList1; the progress panel starts hidden.
    ui->Picture4->setVisible(false);
    // 4. The profile catalogue; entry 1 carries picture 5.
    ui->ImageCombo1->clear();
    const QList<ProfileEntry>& catalogue = profileCatalogue();
    for (int i = 0; i < catalogue.size(); ++i) {
        if (catalogue.at(i).isHeading)
            ui->ImageCombo1->addItem(ImageList1.value(4), catalogue.at(i).caption);
        else
            ui->ImageCombo1->addItem(catalogue.at(i).caption);
    }
    // 5. The last profile.
    const int index = profileIndexFromSetting(Preferences().profile());
    ui->ImageCombo1->setCurrentIndex(index - 1);
    // 6-7. The option sheet, then the restored profile's values.
    prolist();
    ImageCombo1_Click();
    // 8. Presentation of the sheet.
    ui->PS1->applyPresentation();
    updateStatusBar();
}

void MainWindow::Form_Unload() {
    if (m_unloaded)
        return;
    m_unloaded = true;
    const int index = ui->ImageCombo1->currentIndex();
    if (index >= 0)
        Preferences().setProfile(index + 1);
}

void MainWindow::closeEvent(QCloseEvent* event) {
    Form_Unload();
    event->accept();
    if (m_services.endProcess)
        m_services.endProcess();
}

void MainWindow::prolist() {
    clipvane::fillOptionSheet(m_sheet);
}

void MainWindow::ImageCombo1_Click() {
    applyProfilePick(m_sheet, ui->ImageCombo1->currentIndex() + 1);
}

void MainWindow::addvideofile(const QString& path) {
    clipvane::appendAndProbe(m_list, path);
}

void MainWindow::AddFiles_Click() {
    const QStringList chosen =
        m_services.openFiles ? m_services.openFiles(this, m_dialogFolder) : QStringList();
    const ChosenFiles info = splitChosenPaths(chosen);
    if (!info.names.isEmpty())
        m_dialogFolder = info.folder;
    QStringList paths;
    for (const QString& name : info.names)
        paths.append(info.folder + name);
    // Examined several at a time; a batch started meanwhile waits for the whole choice.
    clipvane::appendAndProbe(m_list, paths, clipvane::probeParallelism());
}

int MainWindow::selectedRow() const {
    const QModelIndex current = ui->lvwAudioTracks->currentIndex();
    if (!current.isValid() || !ui->lvwAudioTracks->selectionModel()->isRowSelected(current.row()))
        return -1;
    return current.row();
}

void MainWindow::RemoveSelectedFile_Click() {
    m_list.removeAt(selectedRow());
}

void MainWindow::ClearAllFiles_Click() {
    m_list.clearAll();
}

void MainWindow::lvwAudioTracks_OLEDragDrop(const QStringList& paths) {
    // The first refused name ends the drop: only the files before it are added. A folder or a
    // web address is refused like any other name that is not a video file.
    const auto refused = std::find_if(paths.cbegin(), paths.cend(), [](const QString& path) {
        return QFileInfo(path).isDir() || path.contains(QLatin1String("://")) ||
               !matchesDropEnding(path);
    });
    // Examined several at a time; a batch started meanwhile waits for the whole drop.
    clipvane::appendAndProbe(m_list, QStringList(paths.cbegin(), refused),
                             clipvane::probeParallelism());
    if (refused != paths.cend()) {
        if (m_services.messages)
            m_services.messages->information(QStringLiteral("Only Video files are allowed!"));
        return;
    }
    unsetCursor();
}

void MainWindow::lvwAudioTracks_MouseDown(Qt::MouseButton button, const QPoint& globalPos) {
    if (button != Qt::RightButton)
        return;
    const int row = selectedRow();
    m_showLog->setEnabled(row >= 0 && QFileInfo::exists(m_list.logPath(m_list.idAt(row))));
    popupmenu1->popup(globalPos);
}

void MainWindow::ShowEncoderLog_Click() {
    const int row = selectedRow();
    if (row < 0)
        return;
    const QString log = m_list.logPath(m_list.idAt(row));
    if (!QFileInfo::exists(log))
        return;
    EncoderLogDialog window(m_list.textAt(row, SourceList::FileName), log, this);
    window.exec();
}

void MainWindow::updateStatusBar() {
    const Preferences preferences;
    m_outputStatus->setText(QStringLiteral("Output: %1 \u00b7 %2")
                                .arg(QDir::toNativeSeparators(preferences.effectiveOutputFolder()),
                                     preferences.overwriteExisting()
                                         ? QStringLiteral("overwrite existing files")
                                         : QStringLiteral("keep existing files")));
}

void MainWindow::BurnNow_Click() {
    // An option still being edited counts: the run reads the sheet as the user sees it.
    ui->PS1->commitOpenEditor();
    if (!m_batch.canStart())
        return;
    if (m_player.playerProcessId != 0 && m_services.keys)
        m_services.keys->sendKey(m_player.playerProcessId, QLatin1String(kPlayerTool),
                                 ToolKey::Quit);
    m_batch.start();
}

void MainWindow::Command1_Click() {
    m_batch.cancel();
}

void MainWindow::ShowHelp() {
    if (m_services.desktop)
        m_services.desktop->showHelp(programFolder() + QStringLiteral("/help.html"));
}

void MainWindow::exit_Click() {
    // The preview quits and its clock stops before the window unloads.
    m_preview.quit();
    close();
}

void MainWindow::Image_MouseMove(QToolButton* picture) {
    picture->setProperty("framed", true);
    picture->setAutoRaise(false);
    picture->style()->unpolish(picture);
    picture->style()->polish(picture);
}

void MainWindow::Picture3_MouseMove() {
    for (QToolButton* picture : std::as_const(m_pictures)) {
        if (!pictureFramed(picture))
            continue;
        picture->setProperty("framed", false);
        picture->setAutoRaise(true);
        picture->style()->unpolish(picture);
        picture->style()->polish(picture);
    }
}

bool MainWindow::pictureFramed(const QToolButton* picture) const {
    return picture->property("framed").toBool();
}

void MainWindow::Picture4_MouseDown(Qt::MouseButton button, const QPoint& posInPanel) {
    if (button != Qt::LeftButton)
        return;
    m_dragging = true;
    m_grab = posInPanel;
    grabMouse(); // the release ends the drag wherever the pointer is
}

void MainWindow::Form_MouseMove(const QPoint& posInWindow) {
    if (!m_dragging)
        return;
    QWidget* panel = ui->Picture4;
    QWidget* area = ui->centralwidget;
    QPoint topLeft = area->mapFrom(this, posInWindow) - m_grab;
    // However far it is dragged, the caption strip stays in the window, so the panel (and
    // its Cancel button) can always be taken back.
    constexpr int kStrip = 24;
    topLeft.setX(std::clamp(topLeft.x(), 2 * kStrip - panel->width(), area->width() - 2 * kStrip));
    topLeft.setY(std::clamp(topLeft.y(), 0, std::max(0, area->height() - kStrip)));
    panel->move(topLeft);
}

void MainWindow::Form_MouseUp() {
    if (!m_dragging)
        return;
    m_dragging = false;
    releaseMouse();
}

void MainWindow::mouseMoveEvent(QMouseEvent* event) {
    Form_MouseMove(event->position().toPoint());
    QMainWindow::mouseMoveEvent(event);
}

void MainWindow::mouseReleaseEvent(QMouseEvent* event) {
    Form_MouseUp();
    QMainWindow::mouseReleaseEvent(event);
}

void MainWindow::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!m_fitted) {
        m_fitted = true;
        QTimer::singleShot(0, this, &MainWindow::fitOptionsPane);
    }
}

void MainWindow::fitOptionsPane() {
    // The whole option sheet in sight; the picture takes the rest of the column.
    OptionSheetWidget* grid = ui->PS1;
    QTreeWidgetItem* last = nullptr;
    for (QTreeWidgetItemIterator it(grid); *it; ++it)
        last = *it;
    if (!last || !grid->isVisible())
        return;
    grid->scrollToTop();
    const int contents = grid->visualItemRect(last).bottom() + 1 + grid->header()->height() +
                         2 * grid->frameWidth() + 2;
    const int chrome = ui->fraOptions->height() - grid->height();
    const int total = ui->splitterRight->height() - ui->splitterRight->handleWidth();
    const int options =
        std::min(contents + chrome, total - ui->fraPreview->minimumSizeHint().height());
    ui->splitterRight->setSizes({total - options, options});
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_outputStatus && event->type() == QEvent::MouseButtonRelease) {
        options_Click();
        return true;
    }
    if (event->type() == QEvent::MouseMove || event->type() == QEvent::Enter) {
        if (auto* picture = qobject_cast<QToolButton*>(watched); m_pictures.contains(picture))
            Image_MouseMove(picture);
        else if (watched == ui->Picture3 && event->type() == QEvent::MouseMove)
            Picture3_MouseMove();
    }
    if (watched == ui->Picture4 && event->type() == QEvent::MouseButtonPress) {
        auto* press = static_cast<QMouseEvent*>(event);
        Picture4_MouseDown(press->button(), press->position().toPoint());
    }
    if (watched == ui->lvwAudioTracks && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->matches(QKeySequence::Delete)) {
        RemoveSelectedFile_Click(); // as users expect of a list
        return true;
    }
    // The slider seeks when the mouse lets go of it, whether it was dragged or clicked.
    if (watched == ui->Slider1 && event->type() == QEvent::MouseButtonRelease)
        QTimer::singleShot(0, this, &MainWindow::Slider1_MouseUp);
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::lvwAudioTracks_Click() {
    const int row = selectedRow();
    if (m_list.count() == 0 || row < 0)
        return;
    const QString path = m_list.textAt(row, SourceList::FileName);
    const QString start = m_list.textAt(row, SourceList::Start);
    const QString end = m_list.textAt(row, SourceList::End);
    m_preview.setSourcePath(path);
    m_sheet.setValue(opt::General, opt::ItemName, path);
    // The clip's length, where both ends are times.
    const std::optional<qint64> s = parseTimeText(start);
    const std::optional<qint64> e = parseTimeText(end);
    m_sheet.setValue(opt::OutputDuration, opt::AllClipDuration,
                     s && e && *e >= *s ? timeText(*e - *s) : QString());
    m_sheet.setValue(opt::OutputDuration, opt::StartTime, start);
    m_sheet.setValue(opt::OutputDuration, opt::StopTime, end);
}

void MainWindow::lvwAudioTracks_DblClick() {
    if (m_list.count() == 0)
        return;
    // The preview ends before the dialog's own player starts.
    m_preview.quit();
    const std::optional<ClipOpening> opening = ClipOpening::fromSelectedRow(m_list, selectedRow());
    if (!opening)
        return;
    m_player.position = 0;
    m_player.length = 0;
    ClipDialog dialog(*opening, &m_player, m_services.keys, &m_list, m_services.messages, this);
    dialog.Form_Load();
    dialog.exec();
    // The preview's player has gone: no stale picture of it stays behind.
    ui->Text2->update();
}

void MainWindow::videoclip_Click() {
    lvwAudioTracks_DblClick();
}

void MainWindow::options_Click() {
    SettingsDialog dialog(this, {}, m_services.messages);
    dialog.Form_Load();
    dialog.exec();
    updateStatusBar();
}

void MainWindow::Capture_Click() {
    CaptureDialog capture(this);
    capture.Form_Load();
    capture.exec();
}

void MainWindow::About_Click() {
    AboutDialog about(this);
    about.Form_Load();
    about.exec();
}

void MainWindow::cmdPlay_Click() {
    const int row = selectedRow();
    // With no row chosen there is nothing to play (never an empty or stale path).
    if (m_list.count() == 0 || row < 0)
        return;
    m_preview.play(m_list.textAt(row, SourceList::FileName),
                   m_list.textAt(row, SourceList::VideoTime));
}

void MainWindow::cmdPause_Click() {
    m_preview.pause();
}

void MainWindow::cmdStop_Click() {
    m_preview.stop();
    // Once the player has let go of the surface, it is black again.
    QTimer::singleShot(PreviewPlayer::kQuitGraceMs, ui->Text2, qOverload<>(&QWidget::update));
}

void MainWindow::cmdBack_Click() {
    m_preview.back();
}

void MainWindow::cmdForward_Click() {
    m_preview.forward();
}

void MainWindow::Command4_Click() {
    m_preview.firstFrame();
}

void MainWindow::Command5_Click() {
    m_preview.lastFrames();
}

void MainWindow::Slider1_MouseUp() {
    m_preview.seek(ui->Slider1->value());
}

void MainWindow::Timer1_Timer() {
    m_preview.tick();
}

void MainWindow::addStartupFiles(const QStringList& paths) {
    QStringList skipped;
    bool first = true;
    m_list.beginProbe(); // a batch started meanwhile waits for all of them
    for (const QString& path : paths) {
        const QFileInfo info(path); // a relative name is taken from the current folder
        if (!info.isFile()) {
            skipped.append(path);
            continue;
        }
        if (first)
            m_dialogFolder = info.absolutePath(); // as after choosing them with Add Files
        first = false;
        addvideofile(info.absoluteFilePath());
    }
    m_list.endProbe();
    if (!skipped.isEmpty() && m_services.messages)
        m_services.messages->warning(QStringLiteral("Only files can be added. Not added:\n") +
                                     skipped.join(QLatin1Char('\n')));
}

} // namespace clipvane
