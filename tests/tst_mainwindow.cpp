#include "app/desktop.h"
#include "app/mainwindow.h"
#include "app/optionsheetwidget.h"
#include "base/apppaths.h"
#include "options/profiles.h"
#include "settings/settingsfile.h"
#include "tests/support/testsupport.h"
#include "ui_mainwindow.h"

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
        form->Form_Load();
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
        Ui::MainWindow* ui = form->form();
        QCOMPARE(form->windowTitle(), QString("Clipvane 2.50"));
        QCOMPARE(ui->ImageCombo1->count(), 3);
        QCOMPARE(ui->ImageCombo1->itemText(1), QString("Flash Video Movie(*.flv)"));
        QVERIFY(!ui->ImageCombo1->itemIcon(0).isNull());
        QCOMPARE(ui->ImageCombo1->currentIndex(), selected);
        QCOMPARE(value(*form, "Video Options", "Video Codec"), codec);
        QVERIFY(!ui->Picture4->isVisible());
        QVERIFY(ui->PS1->itemFor("Audio Options", "Sample Rate"));
        QCOMPARE(ui->PS1->itemFor("Video Options", "Video Codec")->text(1), codec);
        QVERIFY(!(ui->PS1->itemFor("General", "Item Name")->flags() & Qt::ItemIsEditable));
        QVERIFY(ui->PS1->itemFor("Audio Options", "Sample Rate")->flags() & Qt::ItemIsEditable);
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
            form->form()->ImageCombo1->setCurrentIndex(2);
            form->form()->ImageCombo1->activated(2);
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
        QCOMPARE(form->form()->ImageCombo1->count(), 3); // start-up went on
    }

    void windowLayout() {
        test::ProgramFolder folder;
        auto form = makeForm();
        Ui::MainWindow* ui = form->form();
        QStringList headers;
        for (int c = 0; c < ui->lvwAudioTracks->model()->columnCount(); ++c)
            headers << ui->lvwAudioTracks->model()->headerData(c, Qt::Horizontal).toString();
        QCOMPARE(headers, (QStringList{"File Name", "Start", "End", "Size", "Format", "Status",
                                       "Video Time"}));
        QCOMPARE((QStringList{ui->Label1->text(), ui->Label2->text(), ui->Label9->text(),
                              ui->Label10->text(), ui->Label11->text(), ui->Label8->text(),
                              ui->Label7->text()}),
                 (QStringList{"Add Files", "Remove File", "Clear All", "Settings", "CONVERT NOW",
                              "Help", "EXIT"}));
        QCOMPARE(ui->fraVideoList->title(), QString("Video List"));
        QCOMPARE(ui->fraPreview->title(), QString("Privew"));
        QCOMPARE(ui->ClearAllFiles->shortcut(), QKeySequence("Ctrl+C"));
        QCOMPARE(ui->BurnNow->text(), QString("Convert Now!"));
        QCOMPARE(ui->BurnNow->shortcut(), QKeySequence("Ctrl+N"));
        QCOMPARE(ui->file->title(), QString("File(&F)"));
        QStringList popup;
        for (QAction* a : form->popupMenu()->actions())
            popup << (a->isSeparator() ? "-" : a->text());
        QCOMPARE(popup, (QStringList{"Convert Now!", "-", "Play Selected File", "-", "Video Clip",
                                     "-", "Add Files", "Remove Selected Item", "Clear All Items",
                                     "-", "Capture Video From DV", "-", "Show Encoder Log"}));
        // Where the files go, in the status bar.
        QVERIFY(form->findChild<QLabel*>("lblOutput")->text().startsWith("Output: "));
        form->resize(1280, 800);
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        // Every column in sight, the file name the widest; the whole option sheet too.
        QHeaderView* header = ui->lvwAudioTracks->header();
        const int last = SourceList::ColumnCount - 1;
        QVERIFY(header->sectionViewportPosition(last) + header->sectionSize(last) <=
                ui->lvwAudioTracks->viewport()->width());
        for (int c = 1; c <= last; ++c)
            QVERIFY(header->sectionSize(0) > header->sectionSize(c));
        QTreeWidgetItem* lastOption = ui->PS1->itemFor("Audio Options", "A/V Sync");
        QVERIFY(lastOption);
        QVERIFY(ui->PS1->viewport()->rect().contains(ui->PS1->visualItemRect(lastOption)));
        QVERIFY(ui->Text2->height() >= 200);
        const QString shot = qEnvironmentVariable("CLIPVANE_SCREENSHOT");
        if (!shot.isEmpty()) {
            // A picture for the README: skinned, with a profile and a few rows.
            QDir(folder.path()).mkpath("skins");
            QFile::copy(QStringLiteral(CLIPVANE_BIN_DIR "/skins/frmmain.skn"),
                        folder.path() + "/skins/frmmain.skn");
            writeSetting(settingsFilePath(), "set", "outputfolder", "/home/ana/Videos/Converted");
            auto shown = makeForm();
            shown->form()->ImageCombo1->setCurrentIndex(1);
            shown->ImageCombo1_Click();
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
        form->AddFiles_Click();
        dialogAnswer.clear(); // a cancelled dialog
        form->AddFiles_Click();
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
        form->lvwAudioTracks_Click();
        form->cmdPlay_Click();
        const auto id = form->sources().append("/v/a.avi");
        form->sources().setText(id, SourceList::Start, "0:00:10");
        form->sources().setText(id, SourceList::End, "0:01:05");
        form->sources().setText(id, SourceList::VideoTime, "0:01:05");
        form->lvwAudioTracks_Click();
        form->cmdPlay_Click();
        QCOMPARE(page(), fresh);
        QVERIFY(started.isEmpty());

        QTreeView* view = form->form()->lvwAudioTracks;
        view->setCurrentIndex(view->model()->index(0, 0));
        form->lvwAudioTracks_Click();
        const QStringList shown{"/v/a.avi", "0:00:55", "0:00:10", "0:01:05"};
        QCOMPARE(page(), shown);
        form->cmdPlay_Click();
        QCOMPARE(started.size(), 1);
        QVERIFY(started.first().endsWith("\"/v/a.avi\""));
        QCOMPARE(form->form()->SkinLabel10->text(), QString("Total time:0:01:05"));
        // Once a player has started, the open-file dialog opens in the program folder.
        form->AddFiles_Click();
        QCOMPARE(dialogFolders.last(), folder.path());
        // The page is the last click's: later changes and removal leave it as it was.
        form->sources().setText(id, SourceList::Start, "0:01:00");
        form->RemoveSelectedFile_Click();
        QCOMPARE(form->sources().count(), 0);
        QCOMPARE(page(), shown);
    }

    void everyEntryRunsItsCommand_data() {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("entry");
        const QList<QStringList> commands = {
            {"add", "AddFiles", "Image1", "AddFiless", "Ctrl+A"},
            {"remove", "RemoveSelectedFile", "Image2", "RemoveSelectedItem", "Ctrl+R"},
            {"clear", "ClearAllFiles", "Image9", "ClearAllItems", "Ctrl+C"},
            {"play", "play", "", "PlaySelectedFile", "Ctrl+P"},
            {"help", "helphelp", "Image8", "", "F1"},
            {"exit", "exit", "Image7", "", "Ctrl+X"},
            {"settings", "options", "Image10", "", "Ctrl+S"},
            {"clip", "videoclip", "", "cuttime", "Ctrl+V"},
            {"about", "About", "", "", ""},
            {"capture", "Capture", "", "Capture1", ""},
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
        QTreeView* view = form->form()->lvwAudioTracks;
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
        else if (auto* picture = form->findChild<QToolButton*>(entry))
            picture->click();
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
        Ui::MainWindow* ui = form->form();
        const auto framed = [&] {
            QStringList on;
            for (QToolButton* p : {ui->Image1, ui->Image2, ui->Image9, ui->Image11})
                if (form->pictureFramed(p))
                    on << p->objectName();
            return on;
        };
        QTest::mouseMove(ui->Image1);
        form->Image_MouseMove(ui->Image1);
        form->Image_MouseMove(ui->Image2); // straight from one picture to the next
        QCOMPARE(framed(), (QStringList{"Image1", "Image2"}));
        form->Picture3_MouseMove();
        QCOMPARE(framed(), QStringList{});
    }

    void progressPanelDrags() {
        auto form = makeForm();
        form->resize(1280, 800);
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        QWidget* panel = form->form()->Picture4;
        panel->show();
        panel->move(100, 100);
        const QSize size = panel->size();
        form->Picture4_MouseDown(Qt::RightButton, {10, 10});
        QVERIFY(!form->panelDragging());
        form->Picture4_MouseDown(Qt::LeftButton, {10, 10});
        QVERIFY(form->panelDragging());
        const QPoint central = form->form()->centralwidget->mapTo(form.get(), QPoint(0, 0));
        form->Form_MouseMove(central + QPoint(300, 200));
        QCOMPARE(panel->pos(), QPoint(290, 190));
        // Dragged far out, it keeps its caption strip in the window.
        form->Form_MouseMove({-5000, -5000});
        QVERIFY(panel->geometry().right() >= 24 && panel->y() >= 0);
        form->Form_MouseMove({5000, 5000});
        QVERIFY(panel->x() <= form->form()->centralwidget->width() - 24);
        QVERIFY(panel->y() <= form->form()->centralwidget->height() - 24);
        QCOMPARE(panel->size(), size);
        // A release outside the window ends the drag: the mouse is the window's meanwhile.
        QTest::mouseRelease(form.get(), Qt::LeftButton, {}, QPoint(-50, -50));
        QVERIFY(!form->panelDragging());
        const QPoint rest = panel->pos();
        form->Form_MouseMove(central + QPoint(10, 10));
        QCOMPARE(panel->pos(), rest);
    }

    void exitQuitsThePreviewFirst() {
        test::ProgramFolder folder;
        auto form = makeForm();
        form->preview().setStarter([](const QString&) { return qint64(4242); });
        form->preview().play("/v/a.avi", "0:00:05");
        QStringList order;
        connect(form->form()->exit, &QAction::triggered, [&] { order << keys.sent; });
        form->form()->exit->trigger();
        QCOMPARE(keys.sent, QStringList{"mp.dll:4242:quit"});
        QVERIFY(!form->preview().clockRunning());
        QCOMPARE(ended, 1);
    }

    void deleteKeyRemovesTheRow() {
        auto form = makeForm();
        form->sources().append("/v/a.avi");
        QTreeView* view = form->form()->lvwAudioTracks;
        view->setCurrentIndex(view->model()->index(0, 0));
        QTest::keyClick(view, Qt::Key_Delete);
        QCOMPARE(form->sources().count(), 0);
    }

    // The picture and the context entry follow their command's enabled state (that each runs
    // its command is the test above).
    void entriesFollowTheirCommand() {
        auto form = makeForm();
        auto* entry = form->popupMenu()->findChild<QAction*>("AddFiless");
        form->form()->AddFiles->setEnabled(false);
        QVERIFY(!entry->isEnabled() && !form->form()->Image1->isEnabled());
        form->form()->AddFiles->setEnabled(true);
        QVERIFY(entry->isEnabled() && form->form()->Image1->isEnabled());
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
        form->lvwAudioTracks_OLEDragDrop({"/v/x.avi", "/v/y.txt", "/v/z.avi"});
        QCOMPARE(form->sources().count(), 1);
        QCOMPARE(form->sources().textAt(0, 0), QString("/v/x.avi"));
        QCOMPARE(messages.shown, QStringList{"info:Only Video files are allowed!"});
        form->lvwAudioTracks_OLEDragDrop({"/v/m.QT", dir.filePath("movie.avi"), "/v/n.avi"});
        QCOMPARE(form->sources().count(), 2);
        QCOMPARE(messages.shown.size(), 2);
        form->lvwAudioTracks_OLEDragDrop({"https://example.org/clip.avi"});
        QCOMPARE(form->sources().count(), 2);
        QCOMPARE(messages.shown.size(), 3);
    }

    void removeAndClear() {
        test::ProgramFolder folder;
        auto form = makeForm();
        for (const char* p : {"/a.avi", "/b.avi", "/c.avi"})
            form->sources().append(p);
        form->RemoveSelectedFile_Click(); // nothing selected
        QCOMPARE(form->sources().count(), 3);
        form->form()->lvwAudioTracks->setCurrentIndex(form->sources().index(1, 0));
        form->RemoveSelectedFile_Click();
        QCOMPARE(form->sources().count(), 2);
        QCOMPARE(form->sources().textAt(1, 0), QString("/c.avi"));
        form->ClearAllFiles_Click();
        QCOMPARE(form->sources().count(), 0);
    }

    void propertyGridEditsTheSheet() {
        test::ProgramFolder folder;
        auto form = makeForm();
        form->show();
        OptionSheetWidget* grid = form->form()->PS1;
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
        form->form()->lvwAudioTracks->setFocus();
        form->form()->lvwAudioTracks->setCurrentIndex(form->sources().index(0, 0));
        QTest::keyClick(form->form()->lvwAudioTracks, Qt::Key_C, Qt::ControlModifier);
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
        form->form()->helphelp->trigger();
        QCOMPARE(desktop.helps, QStringList{folder.path() + "/help.html"});
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
