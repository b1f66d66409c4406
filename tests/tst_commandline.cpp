#include "process/commandline.h"
#include "tests/support/testsupport.h"
#include "tools/launcherargs.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

using namespace clipvane;

class TestCommandLine : public QObject {
    Q_OBJECT
private slots:
    void split_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("args");
        QTest::newRow("blanks separate") << "a  b\tc" << QStringList{"a", "b", "c"};
        QTest::newRow("quotes group") << "\"/opt/my app/fp.dll\" -i \"x y.avi\""
                                      << QStringList{"/opt/my app/fp.dll", "-i", "x y.avi"};
        QTest::newRow("trailing blank") << "cmd " << QStringList{"cmd"};
        QTest::newRow("empty quoted") << "a \"\" b" << QStringList{"a", "", "b"};
        QTest::newRow("backslash literal") << "a\\b c\\\\d" << QStringList{"a\\b", "c\\\\d"};
        QTest::newRow("escaped quote") << "\"a\\\"b\"" << QStringList{"a\"b"};
        QTest::newRow("even backslashes then quote") << "\"a\\\\\" b" << QStringList{"a\\", "b"};
        QTest::newRow("doubled quote inside quotes") << "\"a\"\"b\"" << QStringList{"a\"b"};
        QTest::newRow("glued pieces") << "x\"y z\"w" << QStringList{"xy zw"};
        QTest::newRow("nothing") << "   " << QStringList{};
    }
    void split() {
        QFETCH(QString, text);
        QFETCH(QStringList, args);
        QCOMPARE(splitCommandLine(text), args);
    }

    void quoteRoundTrips_data() {
        QTest::addColumn<QString>("arg");
        for (const QString& name : test::hostileNames())
            QTest::newRow(qPrintable(name)) << name;
        QTest::newRow("empty") << QString();
        QTest::newRow("trailing backslash") << "C:\\dir\\";
        QTest::newRow("backslashes before quote") << "a\\\\\"b";
        QTest::newRow("only quotes") << "\"\"\"";
        QTest::newRow("tab") << "a\tb";
    }
    void quoteRoundTrips() {
        QFETCH(QString, arg);
        const QString text = "\"/bin/fp.dll\" -i " + quoteArgument(arg) + " -x " +
                             quoteIfNeeded(arg) + " " + quoteArgument(arg);
        QCOMPARE(splitCommandLine(text), (QStringList{"/bin/fp.dll", "-i", arg, "-x", arg, arg}));
    }

    void ordinaryNamesQuoteAsDocumented() {
        QCOMPARE(quoteArgument("C:/Clips/holiday.avi"), QString("\"C:/Clips/holiday.avi\""));
        QCOMPARE(quoteIfNeeded("/opt/bin//mp.dll"), QString("/opt/bin//mp.dll"));
        QCOMPARE(quoteIfNeeded("/opt/my bin//mp.dll"), QString("\"/opt/my bin//mp.dll\""));
    }

    void launcherArguments_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QStringList>("in");
        QTest::addColumn<QStringList>("out");
        const QStringList play = {"-priority", "abovenormal", "-framedrop", "-vo",
                                  "gl2",       "-vf",         "screenshot", "f.avi"};
        QTest::newRow("player maps")
            << "/x/mp.dll" << play << QStringList{"-framedrop", "-vo",        "gl_tiled,gl,xv,x11,",
                                                  "-vf",        "screenshot", "f.avi"};
        QTest::newRow("player keeps other vo")
            << "mp.dll" << QStringList{"-vo", "null", "gl2"} << QStringList{"-vo", "null", "gl2"};
        QTest::newRow("encoder unchanged") << "/x//fp.dll" << play << play;
    }
    void launcherArguments() {
        QFETCH(QString, name);
        QFETCH(QStringList, in);
        QFETCH(QStringList, out);
        using namespace launcher;
        const Tool tool = toolForProgramName(name.toStdString());
        QVERIFY(tool != Tool::None);
        std::vector<std::string> args;
        for (const QString& a : in)
            args.push_back(a.toStdString());
        QStringList mapped;
        for (const std::string& a : mapArguments(tool, args))
            mapped << QString::fromStdString(a);
        QCOMPARE(mapped, out);
    }

    void launcherExecsRealToolKeepingItsName() {
        test::ProgramFolder folder;
        QTemporaryDir dir;
        const QString fake = dir.filePath("fake-ffmpeg");
        QFile script(fake);
        QVERIFY(script.open(QIODevice::WriteOnly));
        script.write(
            "#!/bin/sh\necho \"argv0=$0\"\nfor a in \"$@\"; do printf '[%s]\\n' \"$a\"; done\n");
        script.close();
        script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("CLIPVANE_FFMPEG", fake);
        p.setProcessEnvironment(env);
        p.start(folder.path() + "/fp.dll", {"-i", "a b.avi", "$x;y"});
        QVERIFY(p.waitForFinished(10000));
        const QString out = QString::fromUtf8(p.readAllStandardOutput());
        QVERIFY2(out.contains("[-i]\n[a b.avi]\n[$x;y]\n"), qPrintable(out));
    }

    void launcherWithoutToolExits127() {
        test::ProgramFolder folder;
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("CLIPVANE_MPLAYER", "/nonexistent/mplayer");
        p.setProcessEnvironment(env);
        p.start(folder.path() + "/mp.dll", {"-identify"});
        QVERIFY(p.waitForFinished(10000));
        QCOMPARE(p.exitCode(), 127);
        const QString err = QString::fromUtf8(p.readAllStandardError());
        QVERIFY(err.contains("/nonexistent/mplayer"));
        QCOMPARE(err.count('\n'), 1);
    }
};

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_commandline.moc"
