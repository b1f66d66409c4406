#include "app/aboutdialog.h"
#include "app/capturedialog.h"
#include "app/desktop.h"
#include "app/mainwindow.h"
#include "app/optionsheetwidget.h"
#include "app/playerwidget.h"
#include "app/progresspanel.h"
#include "app/settingsdialog.h"
#include "base/apppaths.h"
#include "capture/linuxcapture.h"
#include "options/profiles.h"
#include "settings/settingsfile.h"
#include "tests/support/testsupport.h"
#include "ui_mainwindow.h"
#include "ui_playerwidget.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>
#include <QtTest>

using namespace clipvane;

class TestMainWindow : public QObject {
    Q_OBJECT

    test::RecordingDesktop desktop;
    test::RecordingMessages messages;
    test::RecordingKeys keys;
    QStringList dialogAnswer;
    QStringList dialogFolders;
    int ended = 0;

    std::unique_ptr<MainWindow> makeForm() {
        MainWindowServices s;
        s.desktop = &desktop;
        s.messages = &messages;
        s.keys = &keys;
        s.openFiles = [this](QWidget*, const QString& start) {
            dialogFolders << start;
            return dialogAnswer;
        };
        s.endProcess = [this] { ++ended; };
        auto form = std::make_unique<MainWindow>(s);
        form->loadSettings();
        return form;
    }
    static QString value(MainWindow& f, const QString& cat, const QString& row) {
        return f.sheet().value(cat, row).value_or("<missing>");
    }

private slots:
    void init() {
        messages.shown.clear();
        desktop = test::RecordingDesktop();
        dialogAnswer.clear();
        dialogFolders.clear();
        ended = 0;
    }

    void startUpRestoresProfile_data() {
        QTest::addColumn<QByteArray>("settings");
        QTest::addColumn<int>("selected");
        QTest::addColumn<QString>("codec");
        QTest::newRow("no settings file") << QByteArray() << -1 << "xvid";
        QTest::newRow("profile 1") << QByteArray("[set]\nprofile=1\n") << 0 << "xvid";
        QTest::newRow("profile 2") << QByteArray("[set]\nprofile=2\n") << 1 << "FLV";
        QTest::newRow("profile 3") << QByteArray("[Set]\nprofile=3\n") << 2 << "SWF";
        QTest::newRow("profile 0") << QByteArray("[set]\nprofile=0\n") << -1 << "xvid";
        QTest::newRow("profile 7") << QByteArray("[set]\nprofile=7\n") << -1 << "xvid";
        QTest::newRow("not a number") << QByteArray("[set]\nprofile=flv\n") << -1 << "xvid";
        QTest::newRow("garbage file") << QByteArray("\0\x01\x02", 3) << -1 << "xvid";
    }
    void startUpRestoresProfile() {
        QFETCH(QByteArray, settings);
        QFETCH(int, selected);
        QFETCH(QString, codec);
        test::ProgramFolder folder;
        if (!settings.isNull()) {
            QFile f(folder.settingsFile());
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(settings);
        }
        auto form = makeForm();
        Ui::MainWindow* ui = form->ui();
        QCOMPARE(form->windowTitle(), QString("Clipvane 2.50"));
        QCOMPARE(ui->profileCombo->count(), 3);
        QCOMPARE(ui->profileCombo->itemText(1), QString("Flash Video Movie(*.flv)"));
        QVERIFY(!ui->profileCombo->itemIcon(0).isNull());
        QCOMPARE(ui->profileCombo->currentIndex(), selected);
        QCOMPARE(value(*form, "Video Options", "Video Codec"), codec);
        QVERIFY(!ui->progressPanel->isVisible());
        QVERIFY(ui->optionSheetView->itemFor("Audio Options", "Sample Rate"));
        QCOMPARE(ui->optionSheetView->itemFor("Video Options", "Video Codec")->text(1), codec);
        QVERIFY(
            !(ui->optionSheetView->itemFor("General", "Item Name")->flags() & Qt::ItemIsEditable));
        QVERIFY(ui->optionSheetView->itemFor("Audio Options", "Sample Rate")->flags() &
                Qt::ItemIsEditable);
    }

    void unloadWritesProfileOnlyWhenSelected() {
        test::ProgramFolder folder;
        {
            auto form = makeForm();
            form->close();
            QCOMPARE(ended, 1);
        }
        QVERIFY(!QFile::exists(folder.settingsFile()));
        writeSetting(folder.settingsFile(), "set", "thread", "2");
        {
            auto form = makeForm();
            form->ui()->profileCombo->setCurrentIndex(2);
            form->ui()->profileCombo->activated(2);
            QCOMPARE(value(*form, "Video Options", "Video Codec"), QString("SWF"));
            form->close();
        }
        QFile f(folder.settingsFile());
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("[set]\nthread=2\nprofile=3\n"));
    }

    void skin_data() {
        QTest::addColumn<QByteArray>("skin");
        QTest::addColumn<bool>("styled");
        QTest::newRow("missing") << QByteArray() << false;
        QTest::newRow("present") << QByteArray("QMainWindow { background: #123456; }") << true;
        QTest::newRow("garbage") << QByteArray("\xff\xfe{{{ not css ;;;", 16) << true;
    }
    void skin() {
        QFETCH(QByteArray, skin);
        QFETCH(bool, styled);
        test::ProgramFolder folder;
        if (!skin.isNull()) {
            QDir(folder.path()).mkpath("skins");
            QFile f(folder.path() + "/skins/frmmain.skn");
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(skin);
        }
        auto form = makeForm();
        form->show();
        QCOMPARE(!form->styleSheet().isEmpty(), styled);
        QCOMPARE(form->ui()->profileCombo->count(), 3); // start-up went on
    }

    // Every "#name" of the shipped skin names a widget of a window: a renamed widget would
    // otherwise quietly lose its look.
    void skinSelectorsNameWidgets() {
        QFile skin(QStringLiteral(CLIPVANE_BIN_DIR "/skins/frmmain.skn"));
        QVERIFY(skin.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(skin.readAll());
        auto form = makeForm();
        QTemporaryDir noDevices;
        LinuxCapture none(nullptr, {noDevices.path()});
        CaptureDialog capture(nullptr, &none);
        SettingsDialog settings;
        AboutDialog about;
        const QList<QWidget*> windows{form.get(), &capture, &settings, &about};
        QStringList selectors;
        // (Colours are "#" and hex digits too.)
        static const QRegularExpression selector(QStringLiteral("#([A-Za-z_][A-Za-z0-9_]*)"));
        static const QRegularExpression colour(QStringLiteral("^[0-9a-fA-F]{3,8}$"));
        for (auto it = selector.globalMatch(text); it.hasNext();) {
            const QString name = it.next().captured(1);
            if (!colour.match(name).hasMatch())
                selectors << name;
        }
        QVERIFY(!selectors.isEmpty());
        for (const QString& name : std::as_const(selectors)) {
            const bool found = std::any_of(windows.cbegin(), windows.cend(), [&](QWidget* w) {
                return w->objectName() == name || w->findChild<QWidget*>(name);
            });
            QVERIFY2(found, qPrintable("#" + name));
        }
    }

    void windowLayout() {
        test::ProgramFolder folder;
        auto form = makeForm();
        Ui::MainWindow* ui = form->ui();
        QStringList headers;
        for (int c = 0; c < ui->sourceListView->model()->columnCount(); ++c)
            headers << ui->sourceListView->model()->headerData(c, Qt::Horizontal).toString();
        QCOMPARE(headers, (QStringList{"File Name", "Start", "End", "Size", "Format", "Status",
                                       "Video Time"}));
        QCOMPARE(
            (QStringList{ui->addFilesLabel->text(), ui->removeFileLabel->text(),
                         ui->clearAllLabel->text(), ui->settingsLabel->text(),
                         ui->convertLabel->text(), ui->helpLabel->text(), ui->exitLabel->text()}),
            (QStringList{"Add Files", "Remove File", "Clear All", "Settings", "CONVERT NOW", "Help",
                         "EXIT"}));
        QCOMPARE(ui->videoListGroup->title(), QString("Video List"));
        QCOMPARE(ui->previewGroup->title(), QString("Privew"));
        QCOMPARE(ui->actionClearAll->shortcut(), QKeySequence("Ctrl+C"));
        QCOMPARE(ui->actionConvert->text(), QString("Convert Now!"));
        QCOMPARE(ui->actionConvert->shortcut(), QKeySequence("Ctrl+N"));
        QCOMPARE(ui->menuFile->title(), QString("File(&F)"));
        QStringList popup;
        for (QAction* a : form->contextMenu()->actions())
            popup << (a->isSeparator() ? "-" : a->text());
        QCOMPARE(popup, (QStringList{"Convert Now!", "-", "Play Selected File", "-", "Video Clip",
                                     "-", "Add Files", "Remove Selected Item", "Clear All Items",
                                     "-", "Capture Video From DV", "-", "Show Encoder Log"}));
        // Where the files go, in the status bar.
        QVERIFY(form->findChild<QLabel*>("outputStatusLabel")->text().startsWith("Output: "));
        form->resize(1280, 800);
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        // Every column in sight, the file name the widest; the whole option sheet too.
        QHeaderView* header = ui->sourceListView->header();
        const int last = SourceList::ColumnCount - 1;
        QVERIFY(header->sectionViewportPosition(last) + header->sectionSize(last) <=
                ui->sourceListView->viewport()->width());
        for (int c = 1; c <= last; ++c)
            QVERIFY(header->sectionSize(0) > header->sectionSize(c));
        QTreeWidgetItem* lastOption = ui->optionSheetView->itemFor("Audio Options", "A/V Sync");
        QVERIFY(lastOption);
        QVERIFY(ui->optionSheetView->viewport()->rect().contains(
            ui->optionSheetView->visualItemRect(lastOption)));
        QVERIFY(form->ui()->previewPlayer->videoSurface()->height() >= 200);
        const QString shot = qEnvironmentVariable("CLIPVANE_SCREENSHOT");
        if (!shot.isEmpty()) {
            // A picture for the README: skinned, with a profile and a few rows.
            QDir(folder.path()).mkpath("skins");
            QFile::copy(QStringLiteral(CLIPVANE_BIN_DIR "/skins/frmmain.skn"),
                        folder.path() + "/skins/frmmain.skn");
            writeSetting(settingsFilePath(), "set", "outputfolder", "/home/ana/Videos/Converted");
            auto shown = makeForm();
            shown->ui()->profileCombo->setCurrentIndex(1);
            shown->applySelectedProfile();
            const char* rows[][7] = {{"/home/ana/Videos/holiday.2010.avi", "0:00:00", "0:03:12",
                                      "640x480", "XVID", "OK", "0:03:12"},
                                     {"/home/ana/Videos/birthday party.mp4", "0:00:15", "0:01:40",
                                      "1280x720", "avc1", "Processing", "0:05:02"},
                                     {"/home/ana/Videos/garden.mkv", "0:00:00", "0:00:48",
                                      "1920x1080", "H264", "", "0:00:48"}};
            for (const auto& r : rows) {
                const auto id = shown->sources().append(r[0]);
                for (int c = 1; c < 7; ++c)
                    shown->sources().setText(id, c, r[c]);
            }
            shown->resize(1280, 800);
            shown->show();
            QVERIFY(QTest::qWaitForWindowExposed(shown.get()));
            shown->grab().save(shot);
        }
    }

    void addFilesInDialogOrder() {
        test::ProgramFolder folder;
        auto form = makeForm();
        const QStringList chosen = {"/nowhere/c.mp4", "/nowhere/a.avi", "/nowhere/b.mkv"};
        dialogAnswer = chosen;
        form->addFiles();
        dialogAnswer.clear(); // a cancelled dialog
        form->addFiles();
        SourceList& list = form->sources();
        QCOMPARE(list.count(), 3);
        QCOMPARE((QStringList{list.textAt(0, 0), list.textAt(1, 0), list.textAt(2, 0)}), chosen);
        QCOMPARE(list.textAt(0, SourceList::Size), QString("0x0")); // probed, nothing found
        QVERIFY(messages.shown.isEmpty());
        // The dialog opens where the program started, then in the last selection's folder.
        QCOMPARE(dialogFolders, (QStringList{QDir::currentPath(), "/nowhere/"}));
    }

    void itemPageAndPlayFollowTheClickedRow() {
        test::ProgramFolder folder;
        auto form = makeForm();
        QStringList started;
        form->preview().setStarter([&](const QString& cmd) {
            started << cmd;
            return qint64(424242); // no such process: keys to it reach nothing
        });
        const auto page = [&] {
            return QStringList{value(*form, "General", "Item Name"),
                               value(*form, "Output Duration", "All Clip Duration"),
                               value(*form, "Output Duration", "Start Time"),
                               value(*form, "Output Duration", "Stop Time")};
        };
        const QStringList fresh = page();
        // An empty list, then a row nobody chose: nothing changes, nothing plays.
        form->selectSource();
        form->playSelected();
        const auto id = form->sources().append("/v/a.avi");
        form->sources().setText(id, SourceList::Start, "0:00:10");
        form->sources().setText(id, SourceList::End, "0:01:05");
        form->sources().setText(id, SourceList::VideoTime, "0:01:05");
        form->selectSource();
        form->playSelected();
        QCOMPARE(page(), fresh);
        QVERIFY(started.isEmpty());

        QTreeView* view = form->ui()->sourceListView;
        view->setCurrentIndex(view->model()->index(0, 0));
        form->selectSource();
        const QStringList shown{"/v/a.avi", "0:00:55", "0:00:10", "0:01:05"};
        QCOMPARE(page(), shown);
        form->playSelected();
        QCOMPARE(started.size(), 1);
        QVERIFY(started.first().endsWith("\"/v/a.avi\""));
        QCOMPARE(form->ui()->previewPlayer->ui()->totalTimeLabel->text(),
                 QString("Total time:0:01:05"));
        // Once a player has started, the open-file dialog opens in the program folder.
        form->addFiles();
        QCOMPARE(dialogFolders.last(), folder.path());
        // The page is the last click's: later changes and removal leave it as it was.
        form->sources().setText(id, SourceList::Start, "0:01:00");
        form->removeSelectedFile();
        QCOMPARE(form->sources().count(), 0);
        QCOMPARE(page(), shown);
    }

    void everyEntryRunsItsCommand_data() {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("entry");
        const QList<QStringList> commands = {
            {"add", "actionAddFiles", "addFilesButton", "contextAddFiles", "Ctrl+A"},
            {"remove", "actionRemoveFile", "removeFileButton", "contextRemoveItem", "Ctrl+R"},
            {"clear", "actionClearAll", "clearAllButton", "contextClearAll", "Ctrl+C"},
            {"play", "actionPlay", "playButton", "contextPlay", "Ctrl+P"},
            {"help", "actionHelp", "helpButton", "", "F1"},
            {"exit", "actionExit", "exitButton", "", "Ctrl+X"},
            {"settings", "actionSettings", "settingsButton", "", "Ctrl+S"},
            {"clip", "actionClip", "", "contextClip", "Ctrl+V"},
            {"about", "actionAbout", "", "", ""},
            {"capture", "actionCapture", "", "contextCapture", ""},
        };
        for (const QStringList& c : commands)
            for (int i = 1; i < c.size(); ++i)
                if (!c.at(i).isEmpty())
                    QTest::newRow(qPrintable(c.at(0) + " by " + c.at(i))) << c.at(0) << c.at(i);
    }
    void everyEntryRunsItsCommand() {
        QFETCH(QString, command);
        QFETCH(QString, entry);
        test::ProgramFolder folder;
        auto form = makeForm();
        QStringList started;
        form->preview().setStarter([&](const QString& cmd) {
            started << cmd;
            return qint64(0);
        });
        for (const char* name : {"/v/a.avi", "/v/b.avi"}) {
            const auto id = form->sources().append(name);
            form->sources().setText(id, SourceList::VideoTime, "0:00:05");
        }
        QTreeView* view = form->ui()->sourceListView;
        view->setCurrentIndex(view->model()->index(0, 0));
        form->show();
        QApplication::setActiveWindow(form.get());
        QVERIFY(QTest::qWaitForWindowActive(form.get()));
        view->setFocus();
        // A modal window says who it is and is closed again.
        QString modal;
        QTimer::singleShot(0, form.get(), [&] {
            if (QWidget* w = QApplication::activeModalWidget()) {
                modal = w->windowTitle();
                w->close();
            }
        });
        if (entry.startsWith("Ctrl") || entry == "F1")
            QTest::keySequence(view, QKeySequence(entry));
        else if (auto* button = form->findChild<QAbstractButton*>(entry))
            button->click();
        else if (auto* action = form->findChild<QAction*>(entry))
            action->trigger();
        else
            QFAIL("no such entry");

        if (command == "add")
            QCOMPARE(dialogFolders.size(), 1);
        else if (command == "remove")
            QCOMPARE(form->sources().count(), 1);
        else if (command == "clear")
            QCOMPARE(form->sources().count(), 0);
        else if (command == "play")
            QCOMPARE(started.size(), 1);
        else if (command == "help")
            QCOMPARE(desktop.helps.size(), 1);
        else if (command == "exit")
            QCOMPARE(ended, 1);
        else if (command == "settings")
            QCOMPARE(modal, QString("Video Options"));
        else if (command == "clip")
            QCOMPARE(modal, QString("Clip Time  -  /v/a.avi"));
        else if (command == "about")
            QCOMPARE(modal, QString("About"));
        else if (command == "capture")
            QCOMPARE(modal, QString("Capture Video From DV"));
    }

    void pictureBordersFollowThePointer() {
        auto form = makeForm();
        Ui::MainWindow* ui = form->ui();
        const auto framed = [&] {
            QStringList on;
            for (QToolButton* p :
                 {ui->addFilesButton, ui->removeFileButton, ui->clearAllButton, ui->convertButton})
                if (form->isToolButtonHighlighted(p))
                    on << p->objectName();
            return on;
        };
        QTest::mouseMove(ui->addFilesButton);
        form->highlightToolButton(ui->addFilesButton);
        form->highlightToolButton(ui->removeFileButton); // straight from one picture to the next
        QCOMPARE(framed(), (QStringList{"addFilesButton", "removeFileButton"}));
        form->clearToolButtonHighlights();
        QCOMPARE(framed(), QStringList{});
    }

    void progressPanelDrags() {
        auto form = makeForm();
        form->resize(1280, 800);
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        ProgressPanel* panel = form->ui()->progressPanel;
        QWidget* area = form->ui()->centralwidget;
        panel->show();
        panel->move(100, 100);
        const QSize size = panel->size();
        // The caption strip of the panel, and where the pointer goes, in the area's terms.
        const QPoint grip(10, 10);
        const auto moveTo = [&](QPoint inArea) {
            QMouseEvent move(QEvent::MouseMove, panel->mapFrom(area, inArea),
                             area->mapToGlobal(inArea), Qt::NoButton, Qt::LeftButton, {});
            QApplication::sendEvent(panel, &move);
        };
        QTest::mousePress(panel, Qt::RightButton, {}, grip);
        QVERIFY(!panel->isDragging());
        QTest::mouseRelease(panel, Qt::RightButton, {}, grip);
        QTest::mousePress(panel, Qt::LeftButton, {}, grip);
        QVERIFY(panel->isDragging());
        moveTo({300, 200});
        QCOMPARE(panel->pos(), QPoint(290, 190));
        // Dragged far out, it keeps its caption strip in the window.
        moveTo({-5000, -5000});
        QVERIFY(panel->geometry().right() >= ProgressPanel::kGripStrip && panel->y() >= 0);
        moveTo({5000, 5000});
        QVERIFY(panel->x() <= area->width() - ProgressPanel::kGripStrip);
        QVERIFY(panel->y() <= area->height() - ProgressPanel::kGripStrip);
        QCOMPARE(panel->size(), size);
        // A release outside the window ends the drag: the mouse is the panel's meanwhile.
        QTest::mouseRelease(panel, Qt::LeftButton, {}, panel->mapFrom(area, QPoint(-50, -50)));
        QVERIFY(!panel->isDragging());
        const QPoint rest = panel->pos();
        moveTo({10, 10});
        QCOMPARE(panel->pos(), rest);
    }

    void exitQuitsThePreviewFirst() {
        test::ProgramFolder folder;
        auto form = makeForm();
        form->preview().setStarter([](const QString&) { return qint64(4242); });
        form->preview().play("/v/a.avi", "0:00:05");
        QStringList order;
        connect(form->ui()->actionExit, &QAction::triggered, [&] { order << keys.sent; });
        form->ui()->actionExit->trigger();
        QCOMPARE(keys.sent, QStringList{"mp.dll:4242:quit"});
        QVERIFY(!form->preview().clockRunning());
        QCOMPARE(ended, 1);
    }

    void deleteKeyRemovesTheRow() {
        auto form = makeForm();
        form->sources().append("/v/a.avi");
        QTreeView* view = form->ui()->sourceListView;
        view->setCurrentIndex(view->model()->index(0, 0));
        QTest::keyClick(view, Qt::Key_Delete);
        QCOMPARE(form->sources().count(), 0);
    }

    // The picture and the context entry follow their command's enabled state (that each runs
    // its command is the test above).
    void entriesFollowTheirCommand() {
        auto form = makeForm();
        auto* entry = form->contextMenu()->findChild<QAction*>("contextAddFiles");
        form->ui()->actionAddFiles->setEnabled(false);
        QVERIFY(!entry->isEnabled() && !form->ui()->addFilesButton->isEnabled());
        form->ui()->actionAddFiles->setEnabled(true);
        QVERIFY(entry->isEnabled() && form->ui()->addFilesButton->isEnabled());
    }

    void messageBoxesShowPlainText() {
        QtMessageBoxes boxes;
        QString text;
        Qt::TextFormat format = Qt::AutoText;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            QVERIFY(box);
            text = box->text();
            format = box->textFormat();
            box->accept();
        });
        boxes.error("Invalid input file name. /v/<b>bold</b>.avi");
        QCOMPARE(text, QString("Invalid input file name. /v/<b>bold</b>.avi"));
        QCOMPARE(format, Qt::PlainText);
    }

    void dropStopsAtFirstRefusedPath() {
        test::ProgramFolder folder;
        QTemporaryDir dir;
        QDir(dir.path()).mkdir("movie.avi"); // a folder with a video ending
        auto form = makeForm();
        form->addDroppedFiles({"/v/x.avi", "/v/y.txt", "/v/z.avi"});
        QCOMPARE(form->sources().count(), 1);
        QCOMPARE(form->sources().textAt(0, 0), QString("/v/x.avi"));
        QCOMPARE(messages.shown, QStringList{"info:Only Video files are allowed!"});
        form->addDroppedFiles({"/v/m.QT", dir.filePath("movie.avi"), "/v/n.avi"});
        QCOMPARE(form->sources().count(), 2);
        QCOMPARE(messages.shown.size(), 2);
        form->addDroppedFiles({"https://example.org/clip.avi"});
        QCOMPARE(form->sources().count(), 2);
        QCOMPARE(messages.shown.size(), 3);
    }

    void removeAndClear() {
        test::ProgramFolder folder;
        auto form = makeForm();
        for (const char* p : {"/a.avi", "/b.avi", "/c.avi"})
            form->sources().append(p);
        form->removeSelectedFile(); // nothing selected
        QCOMPARE(form->sources().count(), 3);
        form->ui()->sourceListView->setCurrentIndex(form->sources().index(1, 0));
        form->removeSelectedFile();
        QCOMPARE(form->sources().count(), 2);
        QCOMPARE(form->sources().textAt(1, 0), QString("/c.avi"));
        form->clearFiles();
        QCOMPARE(form->sources().count(), 0);
    }

    void propertyGridEditsTheSheet() {
        test::ProgramFolder folder;
        auto form = makeForm();
        form->show();
        OptionSheetWidget* grid = form->ui()->optionSheetView;
        QTreeWidgetItem* rate = grid->itemFor("Audio Options", "Sample Rate");
        const QModelIndex index = grid->indexFromItem(rate, 1);
        QWidget* editor = grid->itemDelegate()->createEditor(grid->viewport(), {}, index);
        auto* combo = qobject_cast<QComboBox*>(editor);
        QVERIFY(combo);
        QCOMPARE(combo->count(), 7);
        combo->setCurrentIndex(combo->findText("22050"));
        grid->itemDelegate()->setModelData(combo, grid->model(), index);
        delete editor;
        QCOMPARE(value(*form, "Audio Options", "Sample Rate"), QString("22050"));
        // The program's own changes show in the grid.
        form->sheet().setValue("Audio Options", "Audio Bitrate", "96");
        QCOMPARE(grid->itemFor("Audio Options", "Audio Bitrate")->text(1), QString("96"));
        // Locked rows offer no editor.
        const QModelIndex locked = grid->indexFromItem(grid->itemFor("General", "Item Name"), 1);
        QVERIFY(!grid->itemDelegate()->createEditor(grid->viewport(), {}, locked));
    }

    void ctrlCClearsTheListAtOnce() {
        test::ProgramFolder folder;
        auto form = makeForm();
        form->show();
        QVERIFY(QTest::qWaitForWindowActive(form.get()));
        form->sources().append("/a.avi");
        form->sources().append("/b.avi");
        form->ui()->sourceListView->setFocus();
        form->ui()->sourceListView->setCurrentIndex(form->sources().index(0, 0));
        QTest::keyClick(form->ui()->sourceListView, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(form->sources().count(), 0);
        QVERIFY(messages.shown.isEmpty());
    }

    void realDesktopGuards() {
        QTemporaryDir dir;
        const QString marker = dir.filePath("shutdown-requested");
        qputenv("CLIPVANE_SHUTDOWN_COMMAND", QByteArray("touch ") + marker.toUtf8());
        RealDesktopServices real;
        real.shutdown();
        QTRY_VERIFY(QFile::exists(marker));

        const int windows = QApplication::topLevelWidgets().size();
        real.showHelp(dir.filePath("missing.html"));
        QCOMPARE(QApplication::topLevelWidgets().size(), windows);
        real.showHelp(QStringLiteral(CLIPVANE_BIN_DIR "/help.html"));
        QCOMPARE(QApplication::topLevelWidgets().size(), windows + 1);
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->windowTitle() == "Clipvane Help")
                w->close();
    }

    void helpGoesToProgramFolder() {
        test::ProgramFolder folder;
        auto form = makeForm();
        form->ui()->actionHelp->trigger();
        QCOMPARE(desktop.helps, QStringList{folder.path() + "/help.html"});
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
