// Runs with LANG=de_DE.UTF-8 and LANGUAGE=de (see CMakeLists.txt): the program's German.
#include "app/mainwindow.h"
#include "app/translations.h"
#include "options/optionsheet.h"
#include "settings/settingsfile.h"
#include "support/testsupport.h"
#include "ui_mainwindow.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QMenuBar>
#include <QPushButton>
#include <QtTest>

using namespace clipvane;

class TestTranslations : public QObject {
    Q_OBJECT

    test::RecordingDesktop desktop;
    test::RecordingMessages messages;
    test::KeyLog keys;

    std::unique_ptr<MainWindow> startWindow() {
        MainWindowServices s;
        s.desktop = &desktop;
        s.messages = &messages;
        s.keys = &keys;
        s.openFiles = [](QWidget*, const QString&) { return QStringList(); };
        s.endProcess = [] {};
        auto window = std::make_unique<MainWindow>(s);
        window->loadSettings();
        window->show();
        // Laid out and painted, as a person sees it before quitting.
        if (QTest::qWaitForWindowExposed(window.get()))
            QTest::qWait(50);
        return window;
    }
    static QStringList menuTitles(MainWindow& window) {
        QStringList titles;
        for (QAction* menu : window.menuBar()->actions())
            titles << menu->text();
        return titles;
    }
    static QByteArray bytes(const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

private slots:
    // The desktop's language decides: Clipvane's German and Qt's own for standard buttons.
    void germanDesktopGetsGerman() {
        QCOMPARE(installTranslations(), (QStringList{"clipvane_de", "qtbase_de"}));
        test::ProgramFolder folder;
        auto window = startWindow();
        QCOMPARE(menuTitles(*window),
                 (QStringList{"Datei(&D)", "Bearbeiten(&B)", "Aktion(&A)", "Hilfe(&H)"}));
        QCOMPARE(window->ui()->actionConvert->text(), QString("Jetzt umwandeln!"));
        QDialogButtonBox buttons(QDialogButtonBox::Cancel);
        QCOMPARE(buttons.button(QDialogButtonBox::Cancel)->text(), QString("Abbrechen"));
        // Languages Clipvane does not speak keep English, Qt's words too.
        QCOMPARE(installTranslations(QLocale(QLocale::Japanese)), QStringList());
        QDialogButtonBox english(QDialogButtonBox::Cancel);
        QCOMPARE(english.button(QDialogButtonBox::Cancel)->text(), QString("Cancel"));
        QVERIFY(installTranslations().contains("clipvane_de"));
    }

    // The sheet shows German and keeps English: a choice picked in German is stored in English.
    void sheetShowsGermanKeepsEnglish() {
        installTranslations();
        test::ProgramFolder folder;
        auto window = startWindow();
        window->ui()->profileCombo->setCurrentIndex(4); // MP4 Video H.264 + AAC(*.mp4)
        window->ui()->profileCombo->activated(4);
        QCOMPARE(window->ui()->profileCombo->currentText(),
                 QString("MP4-Video H.264 + AAC(*.mp4)"));
        OptionSheetWidget* grid = window->ui()->optionSheetView;
        QTreeWidgetItem* keep = grid->itemFor(opt::Video, opt::KeepAspectRatio);
        QVERIFY(keep);
        QCOMPARE(keep->parent()->text(0), QString("Videooptionen"));
        QCOMPARE(keep->text(0), QString("Seitenverhältnis beibehalten"));
        QCOMPARE(keep->text(1), QString("Ja"));

        const QModelIndex value = grid->model()->index(
            keep->parent()->indexOfChild(keep), 1,
            grid->model()->index(grid->indexOfTopLevelItem(keep->parent()), 0));
        std::unique_ptr<QWidget> editor(
            grid->itemDelegate()->createEditor(grid->viewport(), {}, value));
        auto* combo = qobject_cast<QComboBox*>(editor.get());
        QVERIFY(combo);
        grid->itemDelegate()->setEditorData(combo, value);
        QCOMPARE(combo->currentText(), QString("Ja"));
        combo->setCurrentIndex(combo->findText("Nein"));
        grid->itemDelegate()->setModelData(combo, grid->model(), value);
        QCOMPARE(window->sheet().value(opt::Video, opt::KeepAspectRatio), QString("No"));
        QCOMPARE(keep->text(1), QString("Nein"));
        window->close();
        QVERIFY(bytes(folder.settingsFile()).contains("Video Options/Keep Aspect Ratio=No"));
        QVERIFY(!bytes(folder.settingsFile()).contains("Nein"));
    }

    // A German start and quit writes settings.dat exactly as an English one does.
    void germanStartLeavesSettingsAsEnglish() {
        test::ProgramFolder folder;
        writeSetting(folder.settingsFile(), "set", "profile", "6");
        installTranslations(QLocale(QLocale::English));
        {
            // The options pane wider than at its narrowest: at its narrowest it is as wide as
            // its longest caption, which is longer in German.
            auto window = startWindow();
            const QList<int> sizes = window->ui()->splitterMain->sizes();
            window->ui()->splitterMain->setSizes({sizes[0] - 100, sizes[1] + 100});
            window->close();
        }
        startWindow()->close();
        const QByteArray english = bytes(folder.settingsFile());
        QVERIFY(english.contains("[window]"));
        QVERIFY(installTranslations().contains("clipvane_de"));
        auto german = startWindow();
        QCOMPARE(german->ui()->profileCombo->currentText(),
                 QString("MP4-Video H.265 + AAC(*.mp4)"));
        german->close();
        QCOMPARE(bytes(folder.settingsFile()).split('\n'), english.split('\n'));
    }
};

QTEST_MAIN(TestTranslations)
#include "tst_translations.moc"
