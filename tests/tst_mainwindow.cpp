#include "app/aboutdialog.h"
#include "app/capturedialog.h"
#include "app/clipdialog.h"
#include "app/desktop.h"
#include "app/mainwindow.h"
#include "app/optionsheetwidget.h"
#include "app/playerwidget.h"
#include "app/presetsdialog.h"
#include "app/profilepicker.h"
#include "app/progresspanel.h"
#include "app/savepresetdialog.h"
#include "app/settingsdialog.h"
#include "app/tracksdialog.h"
#include "base/apppaths.h"
#include "base/textvalues.h"
#include "capture/linuxcapture.h"
#include "options/profiles.h"
#include "settings/settingsfile.h"
#include "tests/support/testsupport.h"
#include "ui_clipdialog.h"
#include "ui_mainwindow.h"
#include "ui_playerwidget.h"
#include "ui_presetsdialog.h"
#include "ui_savepresetdialog.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QScrollBar>
#include <QSet>
#include <QSplitter>
#include <QStandardItemModel>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QToolButton>
#include <QToolTip>
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
    PresetFileDialogs presetDialogs;

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
        s.presetFiles = presetDialogs;
        auto form = std::make_unique<MainWindow>(s);
        form->loadSettings();
        return form;
    }
    // Two seconds of a small H.264 picture, for the tests that encode a row for real.
    static bool makeSmallClip(const QString& path) {
        return test::makeClip(path, {"-f", "lavfi", "-i", "testsrc=size=160x120:duration=2"},
                              {"-c:v", "libx264", "-preset", "ultrafast"});
    }
    static QString value(MainWindow& f, const QString& cat, const QString& row) {
        return f.sheet().value(cat, row).value_or("<missing>");
    }
    static void pick(MainWindow& f, int row) {
        f.ui()->profileCombo->setCurrentIndex(row);
        f.ui()->profileCombo->activated(row);
    }
    static QByteArray fileBytes(const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    // The bytes of the section "set", from its line to the next section.
    static QByteArray setSection(const QString& path) {
        const QByteArray all = fileBytes(path);
        const qsizetype at = all.indexOf("[set]");
        const qsizetype next = all.indexOf("\n[", at);
        return at < 0 ? QByteArray() : all.mid(at, next < 0 ? -1 : next + 1 - at);
    }
    // Answers the next modal dialog of type D.
    template <typename D> static void answer(std::function<void(D*)> fill) {
        QTimer::singleShot(0, [fill] {
            auto* dialog = qobject_cast<D*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            fill(dialog);
        });
    }
    static QStringList pickerTexts(MainWindow& f) {
        QStringList texts;
        for (int i = 0; i < f.ui()->profileCombo->count(); ++i)
            texts << f.ui()->profileCombo->itemText(i);
        return texts;
    }

private slots:
    void init() {
        keys.sent.clear();
        messages.shown.clear();
        desktop = test::RecordingDesktop();
        dialogAnswer.clear();
        dialogFolders.clear();
        ended = 0;
        presetDialogs = {};
    }

    void startUpRestoresProfile_data() {
        QTest::addColumn<QByteArray>("settings");
        QTest::addColumn<int>("selected");
        QTest::addColumn<QString>("codec");
        // A first start (no profile stored) picks MP4, which plays everywhere.
        QTest::newRow("no settings file") << QByteArray() << 4 << "H.264";
        QTest::newRow("no profile stored") << QByteArray("[set]\nthread=2\n") << 4 << "H.264";
        QTest::newRow("profile 1") << QByteArray("[set]\nprofile=1\n") << 0 << "xvid";
        QTest::newRow("profile 2") << QByteArray("[set]\nprofile=2\n") << 1 << "FLV";
        QTest::newRow("profile 3") << QByteArray("[Set]\nprofile=3\n") << 2 << "SWF";
        QTest::newRow("profile 0") << QByteArray("[set]\nprofile=0\n") << -1 << "xvid";
        QTest::newRow("profile 5") << QByteArray("[set]\nprofile=5\n") << 4 << "H.264";
        QTest::newRow("profile 12") << QByteArray("[set]\nprofile=12\n") << 11 << "None";
        QTest::newRow("profile 13") << QByteArray("[set]\nprofile=13\n") << -1 << "xvid";
        QTest::newRow("not a number") << QByteArray("[set]\nprofile=flv\n") << -1 << "xvid";
        QTest::newRow("garbage file") << QByteArray("\0\x01\x02", 3) << 4 << "H.264";
        QTest::newRow("a damaged line") << QByteArray("[set]\nprofile=3\n\0x\n", 17) << 2 << "SWF";
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
        QCOMPARE(ui->profileCombo->count(), profileCatalogue().size());
        QCOMPARE(ui->profileCombo->itemText(1), QString("Flash Video Movie(*.flv)"));
        // Each heading has a picture, of its own.
        QSet<qint64> pictures;
        for (int heading : {0, 3, 9}) {
            QVERIFY(!ui->profileCombo->itemIcon(heading).isNull());
            pictures << ui->profileCombo->itemIcon(heading).cacheKey();
        }
        QCOMPARE(pictures.size(), 3);
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

    // A settings file that cannot be read, or will not be written (a link to a file that
    // holds no settings), is said with where it is.
    void unusableSettingsAreSaid_data() {
        QTest::addColumn<bool>("link");
        QTest::addColumn<QString>("said");
        QTest::newRow("a folder in its place") << false << "cannot read its settings file";
        QTest::newRow("a link to a file of other things") << true << "cannot save its settings";
    }
    void unusableSettingsAreSaid() {
        QFETCH(bool, link);
        QFETCH(QString, said);
        test::ProgramFolder folder;
        QTemporaryDir other;
        if (link) {
            QFile notes(other.filePath("notes.txt"));
            QVERIFY(notes.open(QIODevice::WriteOnly) && notes.write("shopping: milk, bread\n") > 0);
            notes.close();
            QFile::remove(folder.settingsFile());
            QVERIFY(QFile::link(notes.fileName(), folder.settingsFile()));
        } else {
            QVERIFY(QDir().mkdir(folder.settingsFile())); // a folder where the file should be
        }
        auto form = makeForm();
        QTRY_VERIFY2(form->statusBar()->currentMessage().contains(folder.settingsFile()) &&
                         form->statusBar()->currentMessage().contains(said),
                     qPrintable(form->statusBar()->currentMessage()));
    }

    void unloadWritesProfileOnlyWhenSelected() {
        test::ProgramFolder folder;
        writeSetting(folder.settingsFile(), "set", "profile", "0"); // names no entry
        {
            auto form = makeForm();
            form->close();
            QCOMPARE(ended, 1);
        }
        // The window's layout is kept; nothing of "set" is written.
        QCOMPARE(setSection(folder.settingsFile()), QByteArray("[set]\nprofile=0\n"));
        writeSetting(folder.settingsFile(), "set", "thread", "2");
        {
            auto form = makeForm();
            form->ui()->profileCombo->setCurrentIndex(2);
            form->ui()->profileCombo->activated(2);
            QCOMPARE(value(*form, "Video Options", "Video Codec"), QString("SWF"));
            form->close();
        }
        QCOMPARE(setSection(folder.settingsFile()), QByteArray("[set]\nprofile=3\nthread=2\n"));
    }

    // What the user set comes back after a restart and after picking another profile and
    // back; Reset to Profile gives the pick values; the section "set" keeps its bytes.
    void optionsAreRememberedPerProfile() {
        test::ProgramFolder folder;
        const QByteArray set = "[set]\r\nprofile=2\r\noutputfolder= \"/v/out\" \r\n";
        {
            QFile f(folder.settingsFile());
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(set);
        }
        const auto mine = [](MainWindow& f) {
            return QStringList{value(f, "Video Options", "Video Bitrate"),
                               value(f, "Video Options", "Video Size"),
                               value(f, "Audio Options", "Audio Channel")};
        };
        {
            auto form = makeForm();
            form->sheet().setValue("Video Options", "Video Bitrate", "1000");
            form->sheet().setValue("Video Options", "Video Size", "640x480");
            form->sheet().setValue("Audio Options", "Audio Channel", "1");
            form->close();
        }
        auto form = makeForm();
        QCOMPARE(mine(*form), (QStringList{"1000", "640x480", "1"}));
        pick(*form, 2);
        QCOMPARE(mine(*form), (QStringList{"512", "320x240", "1"}));
        form->sheet().setValue("Video Options", "Video Bitrate", "768");
        pick(*form, 1);
        QCOMPARE(mine(*form), (QStringList{"1000", "640x480", "1"}));
        pick(*form, 2);
        QCOMPARE(mine(*form), (QStringList{"768", "320x240", "1"}));
        pick(*form, 1);
        QList<QAction*> entries = form->ui()->optionSheetView->actions();
        QCOMPARE(entries.size(), 4);
        QCOMPARE(entries.at(0)->text(), QString("Reset to Profile"));
        QCOMPARE(entries.at(1)->text(), QString("Save as Preset..."));
        QCOMPARE(entries.at(2)->text(), QString("Audio Tracks…"));
        entries.at(0)->trigger();
        QCOMPARE(mine(*form), (QStringList{"512", "320x240", "2"}));
        form->close();
        QCOMPARE(setSection(folder.settingsFile()), set);
        QVERIFY(fileBytes(folder.settingsFile()).startsWith(set + "[options.2]\r\n"));
    }

    void presetsInThePicker() {
        test::ProgramFolder folder;
        writeSetting(folder.settingsFile(), "set", "profile", "2");
        const auto save = [](MainWindow& f, const QString& name) {
            answer<SavePresetDialog>([name](SavePresetDialog* d) {
                d->ui()->nameEdit->setText(name);
                d->ui()->okButton->click();
            });
            f.ui()->actionSaveAsPreset->trigger();
        };
        {
            auto form = makeForm();
            form->sheet().setValue("Video Options", "Video Size", "176x144");
            save(*form, "Tiny");
            QCOMPARE(form->ui()->profileCombo->currentText(), QString("Tiny"));
            pick(*form, 2);
            form->sheet().setValue("Audio Options", "Sample Rate", "22050");
            save(*form, "Swf low");
            form->close();
        }
        replaceSection(folder.settingsFile(), "preset.9",
                       {{"name", "Old"}, {"profile", "Gone(*.gone)"}});
        auto form = makeForm();
        QComboBox* combo = form->ui()->profileCombo;
        const QStringList catalogue = pickerTexts(*form).mid(0, profileCatalogue().size());
        QCOMPARE(
            pickerTexts(*form).mid(catalogue.size()),
            (QStringList{"My Presets", "Old (its profile no longer exists)", "Swf low", "Tiny"}));
        QCOMPARE(combo->currentText(), QString("Swf low"));
        QCOMPARE(form->picker().profileIndex(), 3);
        QCOMPARE(value(*form, "Audio Options", "Sample Rate"), QString("22050"));
        auto* model = qobject_cast<QStandardItemModel*>(combo->model());
        QVERIFY(!model->item(catalogue.size())->isEnabled());
        QVERIFY(!model->item(catalogue.size() + 1)->isEnabled());
        QCOMPARE(combo->itemData(catalogue.size() + 1, Qt::ToolTipRole).toString(),
                 QString("Its profile \u201cGone(*.gone)\u201d no longer exists."));
        pick(*form, catalogue.size() + 3);
        QCOMPARE(value(*form, "Video Options", "Video Size"), QString("176x144"));
        QCOMPARE(value(*form, "Audio Options", "Sample Rate"), QString("44100"));
        QCOMPARE(form->picker().profileIndex(), 2);

        // Manage: a name already taken is refused as typed; a rename and a deletion are kept.
        QString refusal;
        answer<PresetsDialog>([&refusal](PresetsDialog* d) {
            QListWidget* list = d->ui()->presetList;
            QCOMPARE(list->count(), 3);
            list->item(2)->setText("swf LOW");
            refusal = d->ui()->noteLabel->text();
            QCOMPARE(list->item(2)->text(), QString("Tiny"));
            list->item(2)->setText("  Small ");
            list->setCurrentRow(1);
            d->ui()->deleteButton->click();
            d->ui()->okButton->click();
        });
        form->ui()->actionManagePresets->trigger();
        QCOMPARE(refusal, QString("A preset named \u201cswf LOW\u201d already exists."));
        QCOMPARE(pickerTexts(*form).mid(catalogue.size()),
                 (QStringList{"My Presets", "Old (its profile no longer exists)", "Small"}));
        QCOMPARE(combo->currentText(), QString("Small"));
    }

    // Export Presets... writes a file; Import Presets... and the Manage dialog's Import...
    // bring its presets into the picker, asking about a name that is taken.
    void presetFilesThroughTheWindow() {
        test::ProgramFolder folder;
        QTemporaryDir files;
        const QString shared = files.filePath("shared.cvpresets");
        QStringList asked;
        presetDialogs = {[&](QWidget*) { return shared; }, [&](QWidget*) { return shared; },
                         [&](QWidget*, const QString& name) {
                             asked << name;
                             return PresetNameClash::KeepBoth;
                         }};
        auto form = makeForm();
        form->ui()->actionExportPresets->trigger();
        QCOMPARE(messages.shown, QStringList{"info:You have no presets to export."});
        QVERIFY(form->picker().saveAsPreset("Phone"));
        form->ui()->actionExportPresets->trigger();
        form->ui()->actionImportPresets->trigger();
        QCOMPARE(asked, QStringList{"Phone"});
        QCOMPARE(messages.shown.last(), QString("info:Imported: Phone (2)"));
        // A rename made in the dialog is saved before its import, which Cancel keeps.
        answer<PresetsDialog>([](PresetsDialog* d) {
            d->ui()->presetList->item(0)->setText("Tablet");
            d->ui()->importButton->click();
            QCOMPARE(d->ui()->presetList->count(), 3);
            d->reject();
        });
        form->ui()->actionManagePresets->trigger();
        QCOMPARE(asked.size(), 1);
        QCOMPARE(pickerTexts(*form).mid(profileCatalogue().size()),
                 (QStringList{"My Presets", "Phone", "Phone (2)", "Tablet"}));
    }

    // The time columns show a trim to the hundredth whole at their first width.
    void timeColumnsFitHundredths() {
        test::ProgramFolder folder;
        auto form = makeForm();
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        QTreeView* view = form->ui()->sourceListView;
        const int margin = view->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, view);
        const int needed = view->fontMetrics().horizontalAdvance("0:00:00.50") + 2 * (margin + 1);
        QTRY_VERIFY2(view->header()->sectionSize(SourceList::Start) >= needed,
                     qPrintable(QString::number(view->header()->sectionSize(SourceList::Start))));
        QVERIFY(view->header()->sectionSize(SourceList::End) >= needed);
    }

    void windowComesBackAsLeft_data() {
        QTest::addColumn<QRect>("left");
        QTest::addColumn<bool>("onScreen");
        QTest::newRow("on screen") << QRect(40, 60, 700, 500) << true;
        QTest::newRow("off a smaller screen") << QRect(2500, 1800, 700, 500) << false;
    }
    void windowComesBackAsLeft() {
        QFETCH(QRect, left);
        QFETCH(bool, onScreen);
        test::ProgramFolder folder;
        const auto open = [this] {
            auto form = std::make_unique<MainWindow>(MainWindowServices{});
            form->setMinimumSize(400, 300); // the test screen is small
            form->loadSettings();
            form->show();
            return form;
        };
        QList<int> mainSizes, rightSizes;
        {
            auto form = open();
            QVERIFY(QTest::qWaitForWindowExposed(form.get()));
            form->setGeometry(left);
            QTest::qWait(20);
            form->ui()->splitterMain->setSizes({300, 380});
            form->ui()->splitterRight->setSizes({200, 250});
            form->ui()->sourceListView->header()->resizeSection(SourceList::Status, 150);
            mainSizes = form->ui()->splitterMain->sizes();
            rightSizes = form->ui()->splitterRight->sizes();
            form->saveSettings();
        }
        auto form = open();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        const QRect screen = form->screen()->availableGeometry();
        if (onScreen)
            QCOMPARE(form->geometry(), left);
        else
            QVERIFY2(screen.contains(form->geometry().topLeft()),
                     qPrintable(QString("%1,%2").arg(form->x()).arg(form->y())));
        QTRY_COMPARE(form->ui()->splitterMain->sizes(), mainSizes);
        QCOMPARE(form->ui()->splitterRight->sizes(), rightSizes);
        QCOMPARE(form->ui()->sourceListView->header()->sectionSize(SourceList::Status), 150);
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
        QCOMPARE(form->ui()->profileCombo->count(), profileCatalogue().size()); // went on
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
                                       "Video Time", "Profile", "Estimate", "Quality"}));
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
        QCOMPARE(popup, (QStringList{"Convert Now!",
                                     "-",
                                     "Play Selected File",
                                     "Preview Output",
                                     "-",
                                     "Video Clip",
                                     "Audio Tracks…",
                                     "Subtitles…",
                                     "-",
                                     "Add Files",
                                     "Remove Selected Item",
                                     "Clear All Items",
                                     "Undo",
                                     "Move Up",
                                     "Move Down",
                                     "-",
                                     "Capture Video From DV",
                                     "-",
                                     "Apply Current Profile to Selected Files",
                                     "Use the Picked Profile for Selected Files",
                                     "-",
                                     "Show Encoder Log"}));
        // Where the files go, in the status bar.
        QVERIFY(form->findChild<QLabel*>("outputStatusLabel")->text().startsWith("Output: "));
        form->resize(1280, 800);
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        // Every column in sight, the file name the widest; the option sheet in sight, or
        // scrolling where it is longer than the room the picture leaves.
        QHeaderView* header = ui->sourceListView->header();
        const int last = SourceList::ColumnCount - 1;
        QVERIFY(header->sectionViewportPosition(last) + header->sectionSize(last) <=
                ui->sourceListView->viewport()->width());
        for (int c = 1; c <= last; ++c)
            QVERIFY2(header->sectionSize(0) > header->sectionSize(c),
                     qPrintable(QString("%1: %2 against %3 in %4 (%5)")
                                    .arg(c)
                                    .arg(header->sectionSize(c))
                                    .arg(header->sectionSize(0))
                                    .arg(ui->sourceListView->viewport()->width())
                                    .arg([&] {
                                        QStringList w;
                                        for (int k = 0; k < header->count(); ++k)
                                            w << QString::number(header->isSectionHidden(k)
                                                                     ? -1
                                                                     : header->sectionSize(k));
                                        return w.join(',');
                                    }())));
        // The Quality column shows once a row has a score, in sight too.
        QVERIFY(header->isSectionHidden(SourceList::Quality));
        form->sources().setScore(form->sources().append("/v/a.avi"), OutputScore{0.987, 41});
        QVERIFY(!header->isSectionHidden(SourceList::Quality));
        QVERIFY(header->sectionViewportPosition(SourceList::Quality) +
                    header->sectionSize(SourceList::Quality) <=
                ui->sourceListView->viewport()->width());
        form->sources().clearAll();
        QVERIFY(header->isSectionHidden(SourceList::Quality));
        // The sheet's picture rows make it taller than this window holds beside a picture: it
        // takes what the picture leaves and scrolls to the rest.
        QTreeWidgetItem* lastOption = ui->optionSheetView->itemFor("Audio Options", "A/V Sync");
        QVERIFY(lastOption);
        ui->optionSheetView->scrollToItem(lastOption);
        QVERIFY(ui->optionSheetView->viewport()->rect().contains(
                    ui->optionSheetView->visualItemRect(lastOption)) ||
                ui->optionSheetView->verticalScrollBar()->isVisible());
        QVERIFY(form->ui()->previewPlayer->videoSurface()->height() >= 170);
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
        QVERIFY(test::waitForProbes(list));
        QCOMPARE(list.count(), 3);
        QCOMPARE((QStringList{list.textAt(0, 0), list.textAt(1, 0), list.textAt(2, 0)}), chosen);
        QCOMPARE(list.textAt(0, SourceList::Size), QString("0x0")); // probed, nothing found
        QVERIFY(messages.shown.isEmpty());
        // The dialog opens where the program started, then in the last selection's folder.
        QCOMPARE(dialogFolders, (QStringList{QDir::currentPath(), "/nowhere/"}));
    }

    // "Audio Tracks…" and "Subtitles…" choose for the chosen row, from the context menu or the
    // item page's rows; they are there only for a file with tracks of their kind.
    void tracksAreChosenPerRow() {
        test::ProgramFolder folder;
        auto form = makeForm();
        SourceList& list = form->sources();
        const auto film = list.append("/v/film.mkv");
        StreamFacts facts;
        facts.listed = facts.hasVideo = true;
        facts.audio = {{1, "aac", 6, "5.1", "eng", "", true},
                       {2, "ac3", 2, "stereo", "deu", "Commentary", false}};
        facts.subtitles = {{3, "subrip", false, "eng", "", false, false, "", ""},
                           {4, "hdmv_pgs_subtitle", true, "fre", "", false, true, "", ""}};
        list.setStreamFacts(film, facts);
        const auto silent = list.append("/v/silent.avi");
        QTreeView* view = form->ui()->sourceListView;
        const auto choose = [&](int row) {
            view->setCurrentIndex(view->model()->index(row, 0));
            form->selectSource();
        };
        choose(1);
        QVERIFY(!form->ui()->actionAudioTracks->isEnabled());
        QVERIFY(!form->ui()->actionSubtitles->isEnabled());
        choose(0);
        QVERIFY(form->ui()->actionAudioTracks->isEnabled());
        QCOMPARE(value(*form, "General", "Tracks"),
                 QString("Audio: 2 tracks \u2014 eng AAC 5.1, deu AC-3 2.0 \u201CCommentary\u201D; "
                         "Subtitles: 2 tracks \u2014 eng SRT, fre PGS (forced)"));

        answer<TracksDialog>([](TracksDialog* d) {
            QCOMPARE(d->trackList()->count(), 2);
            QCOMPARE(d->trackList()->item(0)->text(), QString("eng AAC 5.1 (default)"));
            d->trackList()->item(0)->setCheckState(Qt::Unchecked);
            d->accept();
        });
        form->contextMenu()->findChild<QAction*>("contextAudioTracks")->trigger();
        QCOMPARE(list.trackChoice(film).audio, std::optional<QList<int>>(QList<int>{1}));
        QVERIFY(value(*form, "General", "Tracks")
                    .startsWith("Audio: 1 of 2 \u2014 deu AC-3 2.0 \u201CCommentary\u201D; "));

        // The item page's Tracks row offers the choices too; Cancel changes nothing.
        answer<TracksDialog>([](TracksDialog* d) {
            d->trackList()->item(1)->setCheckState(Qt::Unchecked);
            d->burnInCombo()->setCurrentIndex(2); // the French track
            d->accept();
        });
        OptionSheetWidget* grid = form->ui()->optionSheetView;
        emit grid->itemDoubleClicked(grid->itemFor("General", "Tracks"), 1);
        auto* offered = form->findChild<QMenu*>("tracksMenu");
        QTRY_VERIFY(offered->isVisible());
        offered->actions().at(1)->trigger();
        offered->close();
        QCOMPARE(list.trackChoice(film), (TrackChoice{QList<int>{1}, QList<int>{0}, 1}));
        QVERIFY(value(*form, "General", "Tracks").endsWith("; Subtitles: 1 of 2 \u2014 eng SRT"));
        answer<TracksDialog>([](TracksDialog* d) {
            d->trackList()->item(1)->setCheckState(Qt::Checked);
            d->reject();
        });
        form->ui()->actionSubtitles->trigger();
        QCOMPARE(list.trackChoice(film).subtitles, std::optional<QList<int>>(QList<int>{0}));
        // The other row's choice is its own.
        QVERIFY(list.trackChoice(silent).isDefault());
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
        form->sources().setClip(id, parseClipTime("0:00:10"), parseClipTime("0:01:05"));
        form->sources().setLength(id, parseClipTime("0:01:05"));
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
        // The page is the highlighted row's: with the row removed, it shows no file.
        form->sources().setClip(id, parseClipTime("0:01:00"), form->sources().clipEnd(id));
        form->removeSelectedFile();
        QCOMPARE(form->sources().count(), 0);
        QCOMPARE(page(), fresh);
    }

    // Preview Output encodes a sample of the row with the sheet's options and plays it in the
    // window's player, its size per minute beside it.
    void outputPreviewPlays() {
        test::ProgramFolder folder;
        QTemporaryDir media;
        const QString clip = media.filePath("clip.mkv");
        QVERIFY(makeSmallClip(clip));
        auto form = makeForm();
        QStringList started;
        form->preview().setStarter([&](const QString& cmd) {
            started << cmd;
            return qint64(424242);
        });
        test::addAndProbe(form->sources(), clip);
        QTreeView* view = form->ui()->sourceListView;
        view->setCurrentIndex(view->model()->index(0, 0));
        form->ui()->actionPreviewOutput->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(started.size(), 1, 120000);
        QVERIFY2(started.first().contains("/clipvane-preview-"), qPrintable(started.first()));
        QVERIFY(form->ui()->previewGroup->title().endsWith(" MB per minute"));
        // Playing the source again shows the preview's own caption.
        form->playSelected();
        QCOMPARE(form->ui()->previewGroup->title(), QString("Privew"));
    }

    // A row shows its output's expected size once probed, from samples for a constant
    // quality and from the rates once they are fixed; the status bar adds them up; outputs
    // that will not fit are said before a run, which starts only when the user says so.
    void estimatesFollowTheOptions() {
        test::ProgramFolder folder;
        QTemporaryDir media;
        const QString clip = media.filePath("clip.mkv");
        QVERIFY(makeSmallClip(clip));
        auto form = makeForm();
        const SourceList::Id id = test::addAndProbe(form->sources(), clip);
        const auto basis = [&] {
            const auto e = form->sources().estimate(id);
            return e ? int(e->basis) : -1;
        };
        QTRY_COMPARE_WITH_TIMEOUT(basis(), int(SizeEstimate::Basis::Samples), 60000);
        QVERIFY(form->sources().text(id, SourceList::Estimate).startsWith("\u2248 "));
        auto* status = form->findChild<QLabel*>("sizeStatusLabel");
        QVERIFY2(status->text().startsWith("Estimate: ") && status->text().contains(" free"),
                 qPrintable(status->text()));
        QVERIFY(form->sheet().setValue(opt::Video, opt::VideoBitrate, "1000"));
        QTRY_COMPARE(basis(), int(SizeEstimate::Basis::Rates));
        QVERIFY(form->estimator().isIdle());

        // A disk too small: asked, and No starts nothing.
        form->sources().setEstimate(id, SizeEstimate{qint64(1) << 60, SizeEstimate::Basis::Rates});
        messages.shown.clear();
        messages.confirmAnswer = false;
        form->convertAll();
        messages.confirmAnswer = true;
        QCOMPARE(messages.shown.size(), 1);
        QVERIFY2(messages.shown.first().startsWith("confirm:The converted files need about ") &&
                     messages.shown.first().contains(" short."),
                 qPrintable(messages.shown.first()));
        QVERIFY(!form->batch().isRunning());
    }

    // The picture keeps its shape: the surface the player fills is letterboxed inside the
    // preview's area, follows the row played and the window's size; the clip dialog's too.
    void picturesKeepTheirShape() {
        test::ProgramFolder folder;
        auto form = makeForm();
        form->preview().setStarter([](const QString&) { return qint64(424242); });
        form->show();
        for (double aspect : {16.0 / 9, 4.0 / 3}) {
            const auto id = form->sources().append("/v/a.avi");
            form->sources().setLength(id, parseClipTime("0:00:10"));
            form->sources().setPictureAspect(id, aspect);
        }
        const auto shape = [](PlayerWidget* player) {
            const QRect r = player->videoSurface()->geometry();
            const QRect area = player->ui()->videoArea->rect();
            const bool fits =
                area.contains(r) && (r.width() == area.width() || r.height() == area.height());
            return fits ? double(r.width()) / r.height() : -1.0;
        };
        for (const auto& [row, aspect] : {std::pair{0, 16.0 / 9}, {1, 4.0 / 3}}) {
            form->ui()->sourceListView->setCurrentIndex(form->sources().index(row, 0));
            form->playSelected();
            QVERIFY(qAbs(shape(form->ui()->previewPlayer) - aspect) < 0.02);
            form->resize(form->width() - 150, form->height() + 100);
            QTRY_VERIFY(qAbs(shape(form->ui()->previewPlayer) - aspect) < 0.02);
        }
        ClipDialog dialog(*ClipOpening::fromSelectedRow(form->sources(), 0), &form->playerState(),
                          &keys, &form->sources(), &messages);
        dialog.show();
        QTRY_VERIFY(qAbs(shape(dialog.ui()->clipPlayer) - 16.0 / 9) < 0.02);
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
            form->sources().setLength(id, parseClipTime("0:00:05"));
        }
        QTreeView* view = form->ui()->sourceListView;
        view->setCurrentIndex(view->model()->index(0, 0));
        form->show();
        QApplication::setActiveWindow(form.get());
        QVERIFY(QTest::qWaitForWindowActive(form.get()));
        view->setFocus();
        // A modal window says who it is and is closed again (once it is up: a window may list
        // its devices first).
        QString modal;
        QTimer closer;
        connect(&closer, &QTimer::timeout, form.get(), [&] {
            if (QWidget* w = QApplication::activeModalWidget()) {
                modal = w->windowTitle();
                w->close();
            }
        });
        closer.start(10);
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
        form->preview().play("/v/a.avi", parseClipTime("0:00:05"));
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

    // A mixed drop adds what it can and names the rest in one message.
    void dropAddsWhatItCan() {
        test::ProgramFolder folder;
        QTemporaryDir dir;
        QDir(dir.path()).mkdir("movie.avi"); // a folder with a video ending
        auto form = makeForm();
        form->addDroppedFiles({"/v/x.avi", "/v/y.txt", "/v/z.flac"});
        QCOMPARE(form->sources().count(), 2);
        QCOMPARE(form->sources().textAt(1, 0), QString("/v/z.flac"));
        QCOMPARE(messages.shown,
                 QStringList{"info:Only Video files are allowed!\n\nNot added:\ny.txt"});
        form->addDroppedFiles(
            {"/v/m.QT", dir.filePath("movie.avi"), "/v/n.ts", "https://example.org/clip.avi"});
        QCOMPARE(form->sources().count(), 4);
        QCOMPARE(messages.shown.size(), 2);
        QVERIFY(messages.shown.last().endsWith("Not added:\nmovie.avi\nclip.avi"));
        form->addDroppedFiles({"/v/a.mkv"});
        QCOMPARE(messages.shown.size(), 2);
    }

    // Convert Now pressed while a dropped file is examined, then the settings dialog opened:
    // the encoder starts as soon as the examination ends, the dialog still open. The drop
    // itself returns at once, its row still empty.
    void encoderStartsWhileASettingsDialogIsOpen() {
        test::ProgramFolder folder;
        QTemporaryDir dir;
        const QString clip = dir.filePath("clip.avi");
        QVERIFY(test::makeStandardClip(clip, 1.0, "160x120"));
        writeSetting(settingsFilePath(), "set", "outputfolder", dir.filePath("out"));
        test::HeldPlayer player;
        QVERIFY(player.isValid());
        auto form = makeForm();
        pick(*form, 1);
        SourceList& list = form->sources();
        bool dialogShown = false;
        bool dialogOpenAtStart = false;
        int starts = 0;
        connect(&form->batch(), &BatchRun::encoderStarted, form.get(), [&] {
            ++starts;
            auto* dialog = qobject_cast<SettingsDialog*>(QApplication::activeModalWidget());
            dialogOpenAtStart = dialog != nullptr;
            if (dialog)
                dialog->reject();
        });
        // Once the player is on the file: Convert Now, then the settings dialog; the player
        // lets the file go once the dialog shows (a dialog left open a minute is closed).
        QTimer examined;
        connect(&examined, &QTimer::timeout, form.get(), [&] {
            if (player.started().isEmpty())
                return;
            examined.stop();
            form->convertAll();
            QTimer::singleShot(0, form.get(), [&] {
                QTimer::singleShot(0, form.get(), [&] {
                    auto* dialog = qobject_cast<SettingsDialog*>(QApplication::activeModalWidget());
                    dialogShown = dialog != nullptr;
                    if (dialog)
                        QTimer::singleShot(60000, dialog, &QDialog::reject);
                    player.releaseAll();
                });
                form->showSettings();
            });
        });
        examined.start(20);
        QSignalSpy finished(&form->batch(), &BatchRun::runFinished);
        form->addDroppedFiles({clip});
        QCOMPARE(list.pendingProbes(), 1);
        QCOMPARE(list.textAt(0, SourceList::End), QString());
        QVERIFY(finished.wait(180000));
        QVERIFY(dialogShown);
        QCOMPARE(starts, 1);
        QVERIFY(dialogOpenAtStart);
        QCOMPARE(list.textAt(0, SourceList::Status), QString("OK"));
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
        // A typed value stays as typed, though a suggestion starts with it ("5", not "50").
        const QModelIndex target =
            grid->indexFromItem(grid->itemFor(opt::Video, opt::TargetSize), 1);
        auto* typed = qobject_cast<QComboBox*>(
            grid->itemDelegate()->createEditor(grid->viewport(), {}, target));
        QVERIFY(typed && typed->isEditable());
        typed->show();
        typed->lineEdit()->clear();
        typed->setFocus();
        QTRY_VERIFY(typed->lineEdit()->hasFocus());
        QTest::keyClick(typed->lineEdit(), Qt::Key_5);
        QTest::keyClick(typed->lineEdit(), Qt::Key_Return);
        grid->itemDelegate()->setModelData(typed, grid->model(), target);
        delete typed;
        QCOMPARE(value(*form, opt::Video, opt::TargetSize), QString("5"));
        // Locked rows offer no editor.
        const QModelIndex locked = grid->indexFromItem(grid->itemFor("General", "Item Name"), 1);
        QVERIFY(!grid->itemDelegate()->createEditor(grid->viewport(), {}, locked));
    }

    // Rows move by key, by the context menu and by dragging.
    void rowsMove() {
        test::ProgramFolder folder;
        auto form = makeForm();
        form->show();
        QVERIFY(QTest::qWaitForWindowActive(form.get()));
        for (const char* name : {"a", "b", "c"})
            form->sources().append(name);
        SourceListView* view = form->ui()->sourceListView;
        const auto order = [&] {
            QString o;
            for (int r = 0; r < form->sources().count(); ++r)
                o += form->sources().textAt(r, SourceList::FileName);
            return o;
        };
        const auto drag = [&](int from, int onto) {
            QMimeData data;
            data.setData(SourceListView::kRowMimeType, QByteArray::number(from));
            const QPoint at = view->visualRect(form->sources().index(onto, 0)).center();
            QDragEnterEvent enter(at, Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(view->viewport(), &enter); // the drop's target first
            QDropEvent drop(at, Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(view->viewport(), &drop);
        };
        view->setFocus();
        view->setCurrentIndex(form->sources().index(0, 0));
        QTest::keyClick(view, Qt::Key_Down, Qt::ControlModifier);
        QCOMPARE(order(), QString("bac"));
        form->findChild<QAction*>("contextMoveUp")->trigger();
        QCOMPARE(order(), QString("abc"));
        drag(0, 2);
        QCOMPARE(order(), QString("bca"));
        QCOMPARE(view->currentIndex().row(), 2);
    }

    // Automatic shutdown armed shows on the status bar, and a click there turns it off.
    void shutdownArmedIsInSight() {
        test::ProgramFolder folder;
        writeSetting(settingsFilePath(), "set", "autoshut", "1");
        auto form = makeForm();
        form->show();
        auto* armed = form->findChild<QToolButton*>("shutdownStatusButton");
        QVERIFY(armed->isVisible());
        QCOMPARE(armed->text(), QString("Shut down when done"));
        armed->click();
        QVERIFY(!armed->isVisible());
        QCOMPARE(readSetting(settingsFilePath(), "set", "autoshut"), QString("0"));
    }

    // The output each row would get, on its tooltip and on the status bar while it is selected,
    // by the run's own rules.
    void outputNamesInSight_data() {
        QTest::addColumn<QString>("overwrite");
        QTest::addColumn<QStringList>("names");
        QTest::newRow("keep existing files") << "0" << QStringList{"a_New.flv", "a_New_New.flv"};
        QTest::newRow("overwrite") << "1" << QStringList{"a.flv", "a_New.flv"};
    }
    void outputNamesInSight() {
        QFETCH(QString, overwrite);
        QFETCH(QStringList, names);
        test::ProgramFolder folder;
        QTemporaryDir out;
        QFile(out.filePath("a.flv")).open(QIODevice::WriteOnly);
        writeSetting(settingsFilePath(), "set", "outputfolder", out.path());
        writeSetting(settingsFilePath(), "set", "existedfile", overwrite);
        auto form = makeForm();
        form->show();
        form->ui()->profileCombo->setCurrentIndex(1);
        form->applySelectedProfile();
        for (const char* name : {"/v/a.avi", "/w/a.avi"}) {
            const auto id = form->sources().append(name);
            form->sources().setClip(id, 0, parseClipTime("0:00:05"));
        }
        SourceListView* view = form->ui()->sourceListView;
        for (int row : {0, 1}) {
            const QString expected = out.filePath(names.at(row));
            view->setCurrentIndex(form->sources().index(row, 0));
            form->selectSource();
            QVERIFY(form->findChild<QLabel*>("outputStatusLabel")
                        ->text()
                        .startsWith("Output: " + expected + " \u00b7 "));
            const QRect cell = view->visualRect(form->sources().index(row, 0));
            QHelpEvent help(QEvent::ToolTip, cell.center(),
                            view->viewport()->mapToGlobal(cell.center()));
            QApplication::sendEvent(view->viewport(), &help);
            QVERIFY2(QToolTip::text().endsWith("Output: " + expected),
                     qPrintable(QToolTip::text()));
        }
    }

    // A long path loses the middle of its folder, never the file's own name while it fits.
    void longPathsKeepTheFileName_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("width");
        QTest::addColumn<QString>("ends");
        const QString deep = "/home/someone/" + QString("very long folder/").repeated(8);
        QTest::newRow("fits") << "/v/holiday.avi" << 400 << "/v/holiday.avi";
        QTest::newRow("deep folder") << deep + "holiday.avi" << 300 << "/holiday.avi";
        QTest::newRow("name too long") << "/v/" + QString(200, 'n') + ".avi" << 300 << ".avi";
    }
    void longPathsKeepTheFileName() {
        QFETCH(QString, path);
        QFETCH(int, width);
        QFETCH(QString, ends);
        const QFontMetrics metrics{QFont()};
        const QString shown = SourceListView::elidePath(path, metrics, width);
        QVERIFY(metrics.horizontalAdvance(shown) <= width);
        QVERIFY2(shown.endsWith(ends) && shown.startsWith(path.left(2)), qPrintable(shown));
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
        // The answer comes once the command has answered, the window live meanwhile.
        QString answer = "none yet";
        real.shutdown([&](const QString& refusal) { answer = refusal; });
        QCOMPARE(answer, QString("none yet"));
        QTRY_COMPARE(answer, QString());
        QVERIFY(QFile::exists(marker));
        // A refusal is told in the system's words.
        qputenv("CLIPVANE_SHUTDOWN_COMMAND", "sh -c \"echo 'Access denied' >&2; exit 1\"");
        real.shutdown([&](const QString& refusal) { answer = refusal; });
        QTRY_COMPARE(answer, QString("Access denied"));
        qputenv("CLIPVANE_SHUTDOWN_COMMAND", "true");

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
