#include "app/dbusnotices.h"
#include "app/mainwindow.h"
#include "base/apppaths.h"
#include "convert/queuefile.h"
#include "settings/settingsfile.h"
#include "tests/support/testsupport.h"
#include "ui_mainwindow.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QStatusBar>
#include <QtTest>

using namespace clipvane;

namespace {
// Stands in for the desktop's notification service on the test's private session bus, and
// listens to the launcher's progress.
class FakeNotifications : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    struct Shown {
        QString summary;
        QString body;
        QStringList actions;
    };
    QList<Shown> shown;
    QList<QVariantMap> launcher;

public slots:
    uint Notify(const QString&, uint, const QString&, const QString& summary, const QString& body,
                const QStringList& actions, const QVariantMap&, int) {
        shown.append({summary, body, actions});
        return 100 + uint(shown.size());
    }
    QStringList GetCapabilities() { return {"actions", "body"}; }
    void update(const QString& uri, const QVariantMap& properties) {
        if (uri == QLatin1String(DBusDesktopNotices::kLauncherUri))
            launcher.append(properties);
    }
};
} // namespace

// The list across sessions, as a user meets it: quitting during a run, a kill, SIGTERM; and the
// desktop hearing of a batch. Each "next start" is a new window over the queue file the last one
// left. Runs on a private session bus.
class TestQueueRun : public QObject {
    Q_OBJECT

    QTemporaryDir clips;
    QString clip;    // 3 s
    QString shortly; // 1 s
    QString longer;  // 20 s: at its own pace, its encoder is surely still at work
    QString paced;   // the real encoder at the clip's own pace
    std::unique_ptr<test::ProgramFolder> folder;
    std::unique_ptr<QTemporaryDir> out;
    test::RecordingDesktop desktop;
    test::RecordingMessages messages;

    std::unique_ptr<MainWindow> openForm(DesktopNotices* notices = nullptr) {
        MainWindowServices s;
        s.desktop = &desktop;
        s.messages = &messages;
        s.keys = &ChildTools::instance();
        s.endProcess = [] {};
        s.queueFile = queueFileBeside(settingsFilePath());
        s.notices = notices;
        auto form = std::make_unique<MainWindow>(s);
        form->loadSettings();
        form->show();
        return form;
    }
    // The list of the last session: these files, the second trimmed.
    void keepList(const QStringList& files) {
        auto form = openForm();
        for (const QString& file : files)
            form->addFile(file);
        QVERIFY(test::waitForProbes(form->sources()));
        form->sources().setClip(form->sources().idAt(1), 100, 200);
    }
    QJsonArray queueRows() const {
        return QJsonDocument::fromJson(test::contents(folder->path() + "/queue.json"))
            .object()
            .value("rows")
            .toArray();
    }
    QStringList outputs() const {
        return QDir(out->path()).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    }
    static QStringList statuses(MainWindow& form) {
        QStringList s;
        for (int r = 0; r < form.sources().count(); ++r)
            s << form.sources().textAt(r, SourceList::Status);
        return s;
    }
    void startHelper(QProcess& helper, const QString& mode, bool pacedEncoder) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        if (pacedEncoder)
            env.insert("CLIPVANE_FFMPEG", paced);
        helper.setProcessEnvironment(env);
        helper.start(QStringLiteral(QUEUEWINDOW), {folder->path(), mode});
        QVERIFY(helper.waitForStarted());
    }
    // The encoder the queue file says row 0's item runs, once it says so.
    qint64 recordedEncoder() {
        const auto pid = [this] {
            const QJsonObject row = queueRows().at(0).toObject(); // (none yet: empty)
            return row.value("underWay").toObject().value("encoder").toString().toLongLong();
        };
        return QTest::qWaitFor([&] { return pid() > 0; }, 60000) ? pid() : 0;
    }

private slots:
    void initTestCase() {
        clip = clips.filePath("clip.avi");
        shortly = clips.filePath("short.avi");
        QVERIFY(test::makeStandardClip(clip, 3.0, "320x240"));
        QVERIFY(test::makeStandardClip(shortly, 1.0, "320x240"));
        longer = clips.filePath("longer.avi");
        QVERIFY(test::makeStandardClip(longer, 20.0, "320x240"));
        paced = clips.filePath("paced.sh");
        QFile script(paced);
        QVERIFY(script.open(QIODevice::WriteOnly));
        script.write("#!/bin/sh\nexec ffmpeg -re \"$@\"\n");
        script.close();
        QFile::setPermissions(paced, QFile::permissions(paced) | QFile::ExeOwner);
    }
    void init() {
        folder = std::make_unique<test::ProgramFolder>();
        out = std::make_unique<QTemporaryDir>();
        desktop = test::RecordingDesktop();
        messages.shown.clear();
        writeSetting(settingsFilePath(), "set", "outputfolder", out->path());
        writeSetting(settingsFilePath(), "set", "profile", "2");
    }
    void cleanup() {
        out.reset();
        folder.reset();
    }

    // EXIT during a run asks. "Finish in the background": the next start shows the finished
    // row OK with its output and the others waiting, trims and all. "Stop now": nothing is
    // left in the folder and the row says Cancel.
    void quittingDuringARun_data() {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QStringList>("rows");
        QTest::addColumn<QStringList>("files");
        QTest::newRow("finish in the background")
            << "finish" << QStringList{"OK", "Waiting", "Waiting"} << QStringList{"clip.flv"};
        QTest::newRow("stop now") << "stop" << QStringList{"Cancel", "", ""} << QStringList{};
    }
    void quittingDuringARun() {
        QFETCH(QString, mode);
        QFETCH(QStringList, rows);
        QFETCH(QStringList, files);
        keepList({clip, shortly, shortly});
        QProcess helper;
        startHelper(helper, mode, false);
        QVERIFY(helper.waitForFinished(60000));
        QCOMPARE(helper.exitCode(), 0);
        QVERIFY(helper.readAllStandardOutput().contains("quit:1:2\n"));
        // The finisher sees the first file through; the next start shows how it went.
        auto form = openForm();
        QTRY_COMPARE_WITH_TIMEOUT(statuses(*form), rows, 60000);
        QTRY_COMPARE_WITH_TIMEOUT(outputs(), files, 10000);
        const SourceList::Id first = form->sources().idAt(0);
        QCOMPARE(form->sources().outputPath(first),
                 files.isEmpty() ? QString() : out->filePath(files.first()));
        QCOMPARE(form->sources().textAt(1, SourceList::End), QString("0:00:02"));
        if (mode == "finish")
            QVERIFY(QFileInfo::exists(form->sources().logPath(first)));
    }

    // kill -9 in the middle of a run: the next start brings back every row and trim, stops
    // the encoder the killed window left, and leaves nothing in the folder.
    void killedMidRun() {
        keepList({longer, shortly});
        QProcess helper;
        startHelper(helper, "hold", true);
        const qint64 encoder = recordedEncoder();
        QVERIFY(encoder > 0 && test::processAlive(encoder));
        helper.kill();
        QVERIFY(helper.waitForFinished());
        auto form = openForm();
        QCOMPARE(form->sources().count(), 2);
        QCOMPARE(form->sources().textAt(1, SourceList::Start), QString("0:00:01"));
        QTRY_COMPARE_WITH_TIMEOUT(statuses(*form), (QStringList{"Waiting", "Waiting"}), 20000);
        QVERIFY(form->sources().note(form->sources().idAt(0)).contains("unfinished file"));
        QTRY_VERIFY_WITH_TIMEOUT(!test::processAlive(encoder), 10000);
        QCOMPARE(outputs(), QStringList());
        QVERIFY(form->statusBar()->currentMessage().contains("2 of its 2 files"));
    }

    // SIGTERM (a service manager, the session ending) asks nothing: the program quits at
    // once and the file under way is finished in the background under its own name.
    void sigtermFinishesInTheBackground() {
        const QString program = folder->path() + "/clipvane";
        QVERIFY(QFile::copy(QStringLiteral(CLIPVANE_BIN_DIR) + "/clipvane", program));
        QFile::setPermissions(program, QFile::permissions(program) | QFile::ExeOwner);
        QProcess clipvane;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("CLIPVANE_FFMPEG", paced);
        env.insert("CLIPVANE_TEST_CONVERT_AND_QUIT", "1");
        env.insert("QT_QPA_PLATFORM", "offscreen");
        clipvane.setProcessEnvironment(env);
        clipvane.start(program, {longer});
        const qint64 encoder = recordedEncoder();
        QVERIFY(encoder > 0);
        clipvane.terminate();
        // At once: the run itself would have taken 20 s.
        QVERIFY(clipvane.waitForFinished(10000));
        QCOMPARE(clipvane.exitStatus(), QProcess::NormalExit);
        QTRY_COMPARE_WITH_TIMEOUT(outputs(), QStringList{"longer.flv"}, 90000);
        QVERIFY(qAbs(test::probeMedia(out->filePath("longer.flv"))["format"]
                         .toObject()["duration"]
                         .toString()
                         .toDouble() -
                     20.0) <= 0.1);
    }

    // The end of a batch reaches the desktop's notification service with an action that
    // opens the output folder; the launcher hears the progress meanwhile.
    void theDesktopHearsOfTheBatch() {
        QVERIFY2(QDBusConnection::sessionBus().isConnected(), "needs a session bus");
        FakeNotifications fake;
        QDBusConnection bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, "fake");
        QVERIFY(bus.registerService("org.freedesktop.Notifications"));
        QVERIFY(bus.registerObject("/org/freedesktop/Notifications", &fake,
                                   QDBusConnection::ExportAllSlots));
        QVERIFY(bus.connect(QString(), QString(), "com.canonical.Unity.LauncherEntry", "Update",
                            &fake, SLOT(update(QString, QVariantMap))));
        const auto unregister = qScopeGuard([&] {
            bus.unregisterService("org.freedesktop.Notifications");
            QDBusConnection::disconnectFromBus("fake");
        });
        DBusDesktopNotices notices(&desktop);
        auto form = openForm(&notices);
        form->ui()->profileCombo->setCurrentIndex(1);
        form->applySelectedProfile();
        form->addFile(shortly);
        QVERIFY(test::waitForProbes(form->sources()));
        QSignalSpy ended(&form->runCompletion(), &RunCompletion::finished);
        form->convertAll();
        QVERIFY(ended.wait(120000));
        QTRY_COMPARE(fake.shown.size(), 1);
        QCOMPARE(fake.shown.first().summary, QString("Conversion completed!"));
        QCOMPARE(fake.shown.first().body, QString("1 file converted"));
        QCOMPARE(fake.shown.first().actions.value(0), QString("open-folder"));
        QTRY_VERIFY(!fake.launcher.isEmpty() &&
                    !fake.launcher.last().value("progress-visible").toBool());
        QVERIFY(std::any_of(fake.launcher.cbegin(), fake.launcher.cend(), [](const QVariantMap& p) {
            return p.value("progress-visible").toBool() && p.value("count").toInt() == 1;
        }));
        // The notification's action opens the folder.
        const int opened = desktop.opened.size();
        QDBusMessage action = QDBusMessage::createSignal(
            "/org/freedesktop/Notifications", "org.freedesktop.Notifications", "ActionInvoked");
        action << uint(101) << QString("open-folder");
        QVERIFY(bus.send(action));
        QTRY_COMPARE(desktop.opened.size(), opened + 1);
        QCOMPARE(desktop.opened.last(), out->path());
    }
};

QTEST_MAIN(TestQueueRun)
#include "tst_queuerun.moc"
