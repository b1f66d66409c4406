#include "app/aboutdialog.h"
#include "app/programicon.h"
#include "app/settingsdialog.h"
#include "settings/settingsfile.h"
#include "tests/support/testsupport.h"
#include "ui_aboutdialog.h"
#include "ui_settingsdialog.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QtTest>

using namespace clipvane;

class TestSettingsDialog : public QObject {
    Q_OBJECT

    test::RecordingMessages messages;
    QStringList pickerStarts;
    std::optional<QString> pickerAnswer;

    std::unique_ptr<SettingsDialog> openDialog() {
        auto picker = [this](QWidget*, const QString& start) {
            pickerStarts << start;
            return pickerAnswer;
        };
        auto d = std::make_unique<SettingsDialog>(nullptr, picker, &messages);
        d->loadSettings();
        d->show();
        return d;
    }
    static QByteArray contents(const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<none>");
    }
    static void put(const QString& path, const QByteArray& bytes) {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }

private slots:
    void init() {
        messages.shown.clear();
        pickerStarts.clear();
        pickerAnswer.reset();
    }

    // Loading shows the stored settings; OK checks the thread count and writes all four keys.
    void loadAndOk_data() {
        QTest::addColumn<QByteArray>("settings"); // null: no file
        QTest::addColumn<QString>("edit");        // "threadsEdit=..." or "outputFolderEdit=..."
        QTest::addColumn<QString>("shown");       // folder|overwrite|shutdown|threads
        QTest::addColumn<QString>("stored");      // after OK; empty: refused
        const QByteArray all("[set]\noutputfolder=/srv/v\nexistedfile=1\nautoshut=1\nthread=4\n");
        const QString shown = "/srv/v|1|1|4";
        QTest::newRow("no file") << QByteArray() << ""
                                 << "<pf>|0|0|"
                                 << "<pf>|0|0|0";
        QTest::newRow("stored") << all << "" << shown << shown;
        QTest::newRow("flags as a run reads them")
            << QByteArray("[set]\nexistedfile=0.0\nautoshut=1.0\nthread=x\n") << ""
            << "<pf>|1|0|x"
            << "<pf>|1|0|0";
        QTest::newRow("9") << all << "threadsEdit=9" << shown << "";
        QTest::newRow("-2") << all << "threadsEdit=-2" << shown << "";
        QTest::newRow("8") << all << "threadsEdit=8" << shown << "/srv/v|1|1|8";
        QTest::newRow("3abc") << all << "threadsEdit=3abc" << shown << "/srv/v|1|1|3";
        QTest::newRow("2.5") << all << "threadsEdit=2.5" << shown << "/srv/v|1|1|2.5";
        QTest::newRow("-0") << all << "threadsEdit=-0" << shown << "/srv/v|1|1|0";
        QTest::newRow("spaced, missing folder")
            << all << "outputFolderEdit=  /nowhere/a b  " << shown << "/nowhere/a b|1|1|4";
    }
    void loadAndOk() {
        QFETCH(QByteArray, settings);
        QFETCH(QString, edit);
        QFETCH(QString, shown);
        QFETCH(QString, stored);
        test::ProgramFolder folder;
        const QString file = folder.settingsFile();
        if (!settings.isNull())
            put(file, settings);
        auto d = openDialog();
        Ui::SettingsDialog* ui = d->ui();
        QCOMPARE(QStringList({ui->outputFolderEdit->text(),
                              QString::number(ui->overwriteRadio->isChecked()),
                              QString::number(ui->autoShutdownCheck->isChecked()),
                              ui->threadsEdit->text()})
                     .join('|'),
                 shown.replace("<pf>", folder.path()));
        QCOMPARE(ui->keepExistingRadio->isChecked(), !ui->overwriteRadio->isChecked());
        if (!edit.isEmpty())
            d->findChild<QLineEdit*>(edit.section('=', 0, 0))->setText(edit.section('=', 1));
        const QByteArray before = contents(file);
        QTest::mouseClick(d->ui()->okButton, Qt::LeftButton);
        if (stored.isEmpty()) {
            QCOMPARE(messages.shown, QStringList{"error:Thread error!"});
            QVERIFY(d->isVisible());
            QCOMPARE(contents(file), before);
            return;
        }
        QCOMPARE(messages.shown, QStringList());
        QCOMPARE(d->result(), int(QDialog::Accepted));
        QStringList values;
        for (const char* key : {"outputfolder", "existedfile", "autoshut", "thread"})
            values << readSetting(file, "set", QLatin1String(key));
        QCOMPARE(values.join('|'), stored.replace("<pf>", folder.path()));
    }

    // "Save converted files" and the quality score: shown as stored (the score on when
    // nothing is stored), and OK stores each choice as 1 or 0.
    void outputPlace() {
        test::ProgramFolder folder;
        for (const bool beside : {true, false}) {
            auto d = openDialog();
            QCOMPARE(d->ui()->inOutputFolderRadio->isChecked(), beside); // as the last OK left it
            QCOMPARE(d->ui()->qualityScoreCheck->isChecked(), beside);
            (beside ? d->ui()->nextToSourceRadio : d->ui()->inOutputFolderRadio)->click();
            d->ui()->qualityScoreCheck->setChecked(!beside);
            d->accept();
            QCOMPARE(readSetting(folder.settingsFile(), "set", "nexttosource"),
                     QString(beside ? "1" : "0"));
            QCOMPARE(readSetting(folder.settingsFile(), "set", "qualityscore"),
                     QString(beside ? "0" : "1"));
        }
    }

    // Leaving without OK writes nothing; Browse... only fills the box.
    void leaveOrBrowse_data() {
        QTest::addColumn<QString>("how");
        QTest::addColumn<QString>("answer"); // the picker's choice; null: cancelled
        QTest::addColumn<QString>("folderShown");
        QTest::newRow("Cancel") << "cancel" << QString() << "/a";
        QTest::newRow("close box") << "close" << QString() << "/a";
        QTest::newRow("Escape") << "escape" << QString() << "/a";
        QTest::newRow("Browse cancelled") << "browse" << QString() << "/a";
        QTest::newRow("Browse chooses") << "browse"
                                        << "/b/c d"
                                        << "/b/c d";
    }
    void leaveOrBrowse() {
        QFETCH(QString, how);
        QFETCH(QString, answer);
        QFETCH(QString, folderShown);
        test::ProgramFolder folder;
        const QByteArray settings("[set]\noutputfolder= /a \nthread=2\n");
        put(folder.settingsFile(), settings);
        if (!answer.isNull())
            pickerAnswer = answer;
        auto d = openDialog();
        d->ui()->threadsEdit->setText("5");
        d->ui()->autoShutdownCheck->setChecked(true);
        if (how == "cancel")
            QTest::mouseClick(d->ui()->cancelButton, Qt::LeftButton);
        else if (how == "close")
            d->close();
        else if (how == "escape")
            QTest::keyClick(d.get(), Qt::Key_Escape);
        else
            QTest::mouseClick(d->ui()->browseButton, Qt::LeftButton);
        QCOMPARE(d->isVisible(), how == "browse");
        QCOMPARE(pickerStarts, how == "browse" ? QStringList{"/a"} : QStringList());
        QCOMPARE(d->ui()->outputFolderEdit->text(), folderShown);
        QCOMPARE(contents(folder.settingsFile()), settings);
        QCOMPARE(messages.shown, QStringList());
    }

    // A settings file that cannot be written is reported, not passed over as saved.
    void okReportsFailedWrite() {
        test::ProgramFolder folder;
        QVERIFY(QDir().mkdir(folder.settingsFile()));
        auto d = openDialog();
        QTest::mouseClick(d->ui()->okButton, Qt::LeftButton);
        QCOMPARE(messages.shown, QStringList{"error:The settings could not be saved to " +
                                             folder.settingsFile() + "."});
        QVERIFY(d->isVisible());
    }

    // Both windows take the skin; a missing one leaves them plain and still opening.
    void skinAndAboutBox_data() {
        QTest::addColumn<QByteArray>("skin");
        QTest::newRow("skin") << QByteArray("QDialog { background: #203040; }");
        QTest::newRow("missing skin") << QByteArray();
    }
    void skinAndAboutBox() {
        QFETCH(QByteArray, skin);
        test::ProgramFolder folder;
        if (!skin.isNull()) {
            QVERIFY(QDir(folder.path()).mkdir("skins"));
            put(folder.path() + "/skins/frmmain.skn", skin);
        }
        auto d = openDialog();
        AboutDialog about;
        about.show();
        QCOMPARE(d->styleSheet().toUtf8(), skin);
        QCOMPARE(about.styleSheet().toUtf8(), skin);
        Ui::AboutDialog* ui = about.ui();
        QCOMPARE(about.windowTitle(), "About");
        QCOMPARE(ui->thanksLabel->text(), "Thank you for using Clipvane");
        QCOMPARE(ui->mplayerCreditLabel->text(),
                 "This product includes software developed by the MPlayer Project.\n\n"
                 "This product includes software developed by the FFMpeg Project.");
        QCOMPARE(ui->licenseLabel->text(),
                 "MPlayer is licensed under the GNU General Public License Version 2.\n"
                 "FFmpeg is licensed under the GNU General Public License.");
        QVERIFY(about.findChildren<QAbstractButton*>().isEmpty());
        QVERIFY(!ui->iconLabel->pixmap().isNull());
        installProgramIcon();
        QVERIFY(!QApplication::windowIcon().availableSizes().isEmpty());
    }
};

QTEST_MAIN(TestSettingsDialog)
#include "tst_settingsdialog.moc"
