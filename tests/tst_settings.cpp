#include "base/apppaths.h"
#include "base/textvalues.h"
#include "settings/preferences.h"
#include "settings/settingsfile.h"
#include "settings/windowstate.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <limits>
#include <sys/resource.h>
#include <sys/stat.h>

using namespace clipvane;

class TestSettings : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    QString file() const { return dir.filePath("settings.dat"); }
    void put(const QByteArray& bytes) {
        QFile f(file());
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes);
    }
    QByteArray contents() const { return bytesOf(file()); }
    static QByteArray bytesOf(const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    static void putAt(const QString& path, const QByteArray& bytes) {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QCOMPARE(f.write(bytes), bytes.size());
    }
    // Another program's edit of the file: "k=1" becomes "k=2", the size kept.
    enum class Change { InPlace, TimesPutBack, Renamed, Removed, OwnWrite };
    static void change(const QString& path, Change how) {
        const QByteArray after = bytesOf(path).replace("k=1", "k=2");
        struct stat before {};
        QCOMPARE(::stat(QFile::encodeName(path).constData(), &before), 0);
        const timespec times[2] = {before.st_atim, before.st_mtim};
        switch (how) {
        case Change::InPlace:
            putAt(path, after);
            break;
        case Change::TimesPutBack:
            putAt(path, after);
            QCOMPARE(utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0), 0);
            break;
        case Change::Renamed:
            putAt(path + ".new", after);
            QCOMPARE(utimensat(AT_FDCWD, QFile::encodeName(path + ".new").constData(), times, 0),
                     0);
            QCOMPARE(std::rename(QFile::encodeName(path + ".new").constData(),
                                 QFile::encodeName(path).constData()),
                     0);
            break;
        case Change::Removed:
            QVERIFY(QFile::remove(path));
            break;
        case Change::OwnWrite:
            QVERIFY(writeSetting(path, "set", "k", "2"));
            break;
        }
    }

private slots:
    void init() { QFile::remove(file()); }

    void read_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("expected");
        QTest::newRow("plain") << QByteArray("[set]\nprofile=2\n") << "set"
                               << "profile"
                               << "2";
        QTest::newRow("section case") << QByteArray("[Set]\nprofile=3\n") << "set"
                                      << "profile"
                                      << "3";
        QTest::newRow("key case") << QByteArray("[set]\nPROFILE=3\n") << "Set"
                                  << "profile"
                                  << "3";
        QTest::newRow("blanks around") << QByteArray("[set]\n  thread =   4  \n") << "set"
                                       << "thread"
                                       << "4";
        QTest::newRow("quotes removed")
            << QByteArray("[set]\noutputfolder=\"/tmp/out dir\"\n") << "set"
            << "outputfolder"
            << "/tmp/out dir";
        QTest::newRow("one pair only") << QByteArray("[set]\nk=\"\"x\"\"\n") << "set"
                                       << "k"
                                       << "\"x\"";
        QTest::newRow("spaces inside quotes trimmed") << QByteArray("[set]\nk=\" a \"\n") << "set"
                                                      << "k"
                                                      << "a";
        QTest::newRow("crlf") << QByteArray("[set]\r\nprofile=1\r\nthread=2\r\n") << "set"
                              << "thread"
                              << "2";
        QTest::newRow("other section")
            << QByteArray("[other]\nprofile=9\n[set]\nprofile=2\n") << "set"
            << "profile"
            << "2";
        QTest::newRow("key only in other section") << QByteArray("[other]\nprofile=9\n") << "set"
                                                   << "profile"
                                                   << "";
        QTest::newRow("missing key") << QByteArray("[set]\nthread=2\n") << "set"
                                     << "profile"
                                     << "";
        QTest::newRow("value with equals") << QByteArray("[set]\nk=a=b\n") << "set"
                                           << "k"
                                           << "a=b";
        QTest::newRow("first of duplicates") << QByteArray("[set]\nk=1\nk=2\n") << "set"
                                             << "k"
                                             << "1";
        QTest::newRow("comment lines") << QByteArray("; note\n[set]\n;k=0\nk=5\n") << "set"
                                       << "k"
                                       << "5";
        QTest::newRow("utf8") << QByteArray("[set]\noutputfolder=/home/jörg/映像\n") << "set"
                              << "outputfolder" << QString::fromUtf8("/home/jörg/映像");
        QTest::newRow("long value kept whole")
            << QByteArray("[set]\nk=" + QByteArray(300, 'a') + "\n") << "set"
            << "k" << QString(300, 'a');
        QTest::newRow("garbage") << QByteArray("\x01\x02zz[[[==\n]]]\n=\n") << "set"
                                 << "k"
                                 << "";
        QTest::newRow("a NUL spoils its own line only")
            << QByteArray("[set]\nj=0\0\nk=1\n\0\0\0", 17) << "set"
            << "k"
            << "1";
        QTest::newRow("no newline at end") << QByteArray("[set]\nk=7") << "set"
                                           << "k"
                                           << "7";
    }
    void read() {
        QFETCH(QByteArray, content);
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(QString, expected);
        put(content);
        QCOMPARE(readSetting(file(), section, key), expected);
    }

    void readMissingFileDoesNotCreateIt() {
        QCOMPARE(readSetting(file(), "set", "profile"), QString());
        QVERIFY(!QFile::exists(file()));
    }

    void readsTheFirstLinesOfAHugeFile() {
        put("[set]\nk=1\n" + QByteArray(kMaxSettingsFileSize, 'x') + "\nj=2\n");
        QCOMPARE(readSetting(file(), "set", "k"), QString("1"));
        QCOMPARE(readSetting(file(), "set", "j"), QString());
        QCOMPARE(settingsFileProblem(file()), QString());
        QCOMPARE(settingsFileProblem(dir.path()), QString("it is not a file"));
    }

    void write_data() {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QByteArray>("after");
        QTest::newRow("new file") << QByteArray() << "Set"
                                  << "profile"
                                  << "2" << QByteArray("[Set]\nprofile=2\n");
        QTest::newRow("replace in place keeps everything else")
            << QByteArray("; mine\n[other]\na=1\n\n[set]\nthread=2\nprofile=1\n[last]\nz=9\n")
            << "Set"
            << "profile"
            << "3"
            << QByteArray("; mine\n[other]\na=1\n\n[set]\nthread=2\nprofile=3\n[last]\nz=9\n");
        QTest::newRow("add key to existing section")
            << QByteArray("[SET]\nthread=2\n\n[x]\ny=1\n") << "set"
            << "autoshut"
            << "1" << QByteArray("[SET]\nthread=2\nautoshut=1\n\n[x]\ny=1\n");
        QTest::newRow("crlf file stays crlf") << QByteArray("[set]\r\nprofile=1\r\n") << "set"
                                              << "profile"
                                              << "2" << QByteArray("[set]\r\nprofile=2\r\n");
        QTest::newRow("newline in value cannot add a key")
            << QByteArray("[set]\n") << "set"
            << "outputfolder"
            << "/a\n[evil]\nprofile=9" << QByteArray("[set]\noutputfolder=/a [evil] profile=9\n");
        QTest::newRow("long value not cut")
            << QByteArray() << "set"
            << "k" << QString(200, 'b') << QByteArray("[set]\nk=" + QByteArray(200, 'b') + "\n");
        QTest::newRow("key spelling kept") << QByteArray("[set]\nProfile=1\n") << "Set"
                                           << "profile"
                                           << "2" << QByteArray("[set]\nProfile=2\n");
        QTest::newRow("garbage file kept") << QByteArray("\0\0\0", 3) << "set"
                                           << "k"
                                           << "1" << QByteArray("\0\0\0\n[set]\nk=1\n", 14);
        const QByteArray junk("\0junk\xff\xfe", 8);
        QTest::newRow("junk lines kept byte for byte")
            << "[set]\noutputfolder=/v\n" + junk + "\nthread=2\nprofile=1\n"
            << "set"
            << "profile"
            << "3"
            << "[set]\noutputfolder=/v\n" + junk + "\nthread=2\nprofile=3\n";
        QTest::newRow("crlf junk kept, key added")
            << "[set]\r\na=1\r\n" + junk + "\r\n[x]\r\n"
            << "set"
            << "b"
            << "2"
            << "[set]\r\na=1\r\n" + junk + "\r\nb=2\r\n[x]\r\n";
        const QByteArray big = "[set]\nk=1\n" + QByteArray(1024 * 1024, 'x') + "\n";
        QTest::newRow("over a megabyte") << big << "set"
                                         << "k"
                                         << "2" << QByteArray(big).replace("k=1", "k=2");
        QTest::newRow("missing last newline kept") << QByteArray("[set]\nk=7") << "set"
                                                   << "k"
                                                   << "8" << QByteArray("[set]\nk=8");
        QTest::newRow("section after last line without newline")
            << QByteArray("[a]\nx=1") << "set"
            << "k"
            << "1" << QByteArray("[a]\nx=1\n[set]\nk=1\n");
        QTest::newRow("NUL in value")
            << QByteArray() << "set"
            << "k" << QString("a") + QChar(0) + "b" << QByteArray("[set]\nk=a b\n");
    }
    void write() {
        QFETCH(QByteArray, before);
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(QString, value);
        QFETCH(QByteArray, after);
        if (!before.isNull())
            put(before);
        QVERIFY(writeSetting(file(), section, key, value));
        QCOMPARE(contents(), after);
    }

    // Whole sections written or removed at once; every line outside them keeps its bytes.
    void replaceSection_data() {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QStringList>("entries"); // key=value
        QTest::addColumn<QByteArray>("after");
        QTest::newRow("new section at the end")
            << QByteArray("[set]\nprofile=2") << QStringList{"name=A", "k=1"}
            << QByteArray("[set]\nprofile=2\n[p.1]\nname=A\nk=1\n");
        QTest::newRow("rewritten in place, later copy removed")
            << QByteArray(
                   "[set]\r\nx=1\r\n[P.1]\r\nname=old\r\nz=9\r\n[w]\r\na=1\r\n[p.1]\r\nq=2\r\n")
            << QStringList{"name=new"}
            << QByteArray("[set]\r\nx=1\r\n[p.1]\r\nname=new\r\n[w]\r\na=1\r\n");
        QTest::newRow("last section removed, the one before keeps its end")
            << QByteArray("[set]\nprofile=3\n[p.1]\nname=A") << QStringList{}
            << QByteArray("[set]\nprofile=3\n");
        QTest::newRow("removing a missing section changes nothing")
            << QByteArray("[set]\nk=1\n\0junk\n", 16) << QStringList{}
            << QByteArray("[set]\nk=1\n\0junk\n", 16);
    }
    void replaceSection() {
        QFETCH(QByteArray, before);
        QFETCH(QStringList, entries);
        QFETCH(QByteArray, after);
        put(before);
        QList<SettingsEntry> list;
        for (const QString& e : entries)
            list.append({e.section('=', 0, 0), e.section('=', 1)});
        QVERIFY(clipvane::replaceSection(file(), "p.1", list));
        QCOMPARE(contents(), after);
    }

    void sectionsRead() {
        put("[set]\nprofile=2\n[A]\nk=\"'x'\"\nnoise\nK=2\nv = \" spaced\" \n[a]\nk=3\n[b]\n");
        QCOMPARE(readSectionNames(file()), (QStringList{"set", "A", "b"}));
        const QList<SettingsEntry> a = readSection(file(), "a");
        QCOMPARE(a.size(), 2);
        QCOMPARE(a.at(0), (SettingsEntry{"k", "'x'"}));
        QCOMPARE(a.at(1), (SettingsEntry{"v", "spaced"}));
        // Several keys in one write; the values come back as written where quotes keep them.
        for (const QString& v :
             {QString("\"q\""), QString("'q'"), QString("\tq"), QString("plain")}) {
            QVERIFY(writeSettings(file(), "new", {{"one", quotedWhereNeeded(v)}, {"two", "2"}}));
            QCOMPARE(readSetting(file(), "new", "one"), v);
        }
        QCOMPARE(readSetting(file(), "set", "profile"), QString("2"));
    }

    // Reads answer from one parse of the file, yet every change to it is seen at the next read.
    void changesAreSeenAtOnce_data() {
        QTest::addColumn<int>("how");
        QTest::newRow("in place, same size") << int(Change::InPlace);
        QTest::newRow("same size, times put back") << int(Change::TimesPutBack);
        QTest::newRow("replaced, same size and times") << int(Change::Renamed);
        QTest::newRow("removed") << int(Change::Removed);
        QTest::newRow("this program's own write") << int(Change::OwnWrite);
    }
    void changesAreSeenAtOnce() {
        QFETCH(int, how);
        put("[set]\nk=1\n[a]\nx=0\n");
        QCOMPARE(readSetting(file(), "set", "k"), QString("1"));
        QCOMPARE(readSectionNames(file()), (QStringList{"set", "a"}));
        change(file(), Change(how));
        const bool removed = Change(how) == Change::Removed;
        QCOMPARE(readSetting(file(), "set", "k"), QString(removed ? "" : "2"));
        QCOMPARE(readSection(file(), "set").size(), removed ? 0 : 1);
    }

    // A file left alone for a while is read once; then its stamp alone tells any change.
    void aFileLeftAloneIsReadOnce() {
        QTemporaryDir d;
        const QList<Change> changes{Change::InPlace, Change::TimesPutBack, Change::Renamed,
                                    Change::Removed};
        QStringList paths;
        for (qsizetype i = 0; i < changes.size(); ++i) {
            paths << d.filePath(QString("settings%1.dat").arg(i));
            putAt(paths.last(), "[set]\nk=1\n");
            QCOMPARE(readSetting(paths.last(), "set", "k"), QString("1"));
        }
        // File systems stamp with a coarse clock: a file this fresh is still compared whole.
        QTest::qSleep(3200);
        for (const QString& path : paths)
            QCOMPARE(readSetting(path, "set", "k"), QString("1"));
        const quint64 reads = settingsFileReads();
        for (const QString& path : paths) {
            QCOMPARE(readSetting(path, "set", "k"), QString("1"));
            QCOMPARE(readSection(path, "set").size(), 1);
            QCOMPARE(settingsFileProblem(path), QString());
        }
        QCOMPARE(settingsFileReads(), reads);
        for (qsizetype i = 0; i < changes.size(); ++i) {
            change(paths.at(i), changes.at(i));
            QCOMPARE(readSetting(paths.at(i), "set", "k"),
                     QString(changes.at(i) == Change::Removed ? "" : "2"));
        }
        QCOMPARE(settingsFileReads(), reads + changes.size());
    }

    // A settings.dat that is a symbolic link is written through only into a settings file.
    void symbolicLinks_data() {
        QTest::addColumn<QByteArray>("target");
        QTest::addColumn<bool>("link");
        QTest::addColumn<QByteArray>("after"); // null: untouched and refused
        const QByteArray passwd("root:x:0:0:root:/root:/bin/bash\n"
                                "daemon:x:1:1:daemon:/usr/sbin:/usr/sbin/nologin\n");
        QTest::newRow("to a copy of a passwd file") << passwd << true << QByteArray();
        QTest::newRow("to keys outside any section")
            << QByteArray("PATH=/usr/bin\nLANG=C\n") << true << QByteArray();
        QTest::newRow("to a file that holds nothing")
            << QByteArray("") << true << QByteArray("[set]\nk=1\n");
        QTest::newRow("to a settings file")
            << QByteArray("; mine\r\n\r\n[set]\r\nk=0\r\n# end\r\n") << true
            << QByteArray("; mine\r\n\r\n[set]\r\nk=1\r\n# end\r\n");
        QTest::newRow("a plain file is patched whatever it holds")
            << passwd << false << passwd + "[set]\nk=1\n";
    }
    void symbolicLinks() {
        QFETCH(QByteArray, target);
        QFETCH(bool, link);
        QFETCH(QByteArray, after);
        QTemporaryDir d;
        const QString real = d.filePath("dotfiles.dat");
        const QString path = link ? d.filePath("settings.dat") : real;
        putAt(real, target);
        if (link)
            QVERIFY(QFile::link(real, path));
        QCOMPARE(settingsWriteProblem(path).isEmpty(), !after.isNull());
        QCOMPARE(writeSetting(path, "set", "k", "1"), !after.isNull());
        QCOMPARE(clipvane::replaceSection(path, "window", {{"columns", "80"}}), !after.isNull());
        if (after.isNull()) {
            QCOMPARE(bytesOf(real), target);
            QCOMPARE(settingsWriteProblem(path),
                     QString("it is a link to a file that does not hold settings"));
        } else {
            QCOMPARE(bytesOf(real), after + (target.contains('\r') ? "[window]\r\ncolumns=80\r\n"
                                                                   : "[window]\ncolumns=80\n"));
            QCOMPARE(readSetting(path, "set", "k"), QString("1"));
        }
        QCOMPARE(QFileInfo(path).isSymLink(), link);
        if (link)
            QCOMPARE(QFileInfo(path).symLinkTarget(), real);
        QCOMPARE(QDir(d.path()).entryList(QDir::Files | QDir::System).size(), link ? 2 : 1);
    }

    void windowStateKeepsOnlySoundParts_data() {
        QTest::addColumn<QByteArray>("section");
        QTest::addColumn<bool>("geometry");
        QTest::addColumn<int>("columns");
        QTest::newRow("sound") << QByteArray("geometry=AdnQywADAAA=\ncolumns=100,60,70\n") << true
                               << 3;
        QTest::newRow("not base64") << QByteArray("geometry=%%%\ncolumns=100,x\n") << false << 0;
        QTest::newRow("absurd width") << QByteArray("columns=100,999999\n") << false << 0;
    }
    void windowStateKeepsOnlySoundParts() {
        QFETCH(QByteArray, section);
        QFETCH(bool, geometry);
        QFETCH(int, columns);
        put("[set]\nprofile=2\n[window]\n" + section);
        const WindowState s = WindowState::read(file());
        QCOMPARE(!s.geometry.isEmpty(), geometry);
        QCOMPARE(s.columnWidths.size(), columns);
    }

    void fitOnScreen_data() {
        QTest::addColumn<QRect>("frame");
        QTest::addColumn<QRect>("fitted");
        const QRect screen(0, 0, 1280, 800);
        QTest::newRow("on screen stays") << QRect(100, 50, 900, 600) << QRect(100, 50, 900, 600);
        QTest::newRow("screen got smaller")
            << QRect(1500, 900, 1000, 700) << QRect(280, 100, 1000, 700);
        QTest::newRow("larger than the screen") << QRect(-50, -20, 3000, 2000) << screen;
        QTest::newRow("left of the screen") << QRect(-900, 10, 800, 600) << QRect(0, 10, 800, 600);
    }
    void fitOnScreen() {
        QFETCH(QRect, frame);
        QFETCH(QRect, fitted);
        QCOMPARE(clipvane::fitOnScreen(frame, QRect(0, 0, 1280, 800)), fitted);
    }

    void writeThenReadRoundTrips_data() {
        QTest::addColumn<QString>("value");
        QTest::newRow("folder with blanks") << "/media/My Videos/out";
        QTest::newRow("500 characters") << QString(500, 'x');
        QTest::newRow("semicolon and brackets") << "/a;b/[c]/d=e";
        QTest::newRow("non-ascii") << QString::fromUtf8("/home/zoë/Видео");
    }
    void writeThenReadRoundTrips() {
        QFETCH(QString, value);
        QVERIFY(writeSetting(file(), "set", "outputfolder", value));
        QCOMPARE(readSetting(file(), "SET", "OutputFolder"), value);
    }

    void failedWriteLeavesOldFile() {
        // A file size limit makes the write fail even for root.
        QTemporaryDir d;
        const QString path = d.filePath("settings.dat");
        QVERIFY(writeSetting(path, "set", "profile", "2"));
        QVERIFY(writeSetting(path, "set", "outputfolder", "/media/videos"));
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray before = f.readAll();
        f.close();
        rlimit saved{};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
        rlimit small = saved;
        small.rlim_cur = 8;
        const auto oldHandler = signal(SIGXFSZ, SIG_IGN);
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
        const bool written = writeSetting(path, "set", "profile", "3");
        setrlimit(RLIMIT_FSIZE, &saved);
        signal(SIGXFSZ, oldHandler);
        QVERIFY(!written);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), before);
        QCOMPARE(QDir(d.path()).entryList(QDir::Files), QStringList{"settings.dat"});
    }

    void unreadableFileIsNeverReplaced_data() {
        QTest::addColumn<bool>("fifo");
        QTest::newRow("beyond the write limit") << false;
        QTest::newRow("not a regular file") << true;
    }
    void unreadableFileIsNeverReplaced() {
        QFETCH(bool, fifo);
        if (fifo)
            QCOMPARE(mkfifo(QFile::encodeName(file()).constData(), 0600), 0);
        else
            put("[set]\nk=1\n" + QByteArray(kMaxWritableSettingsFileSize, 'x'));
        QVERIFY(!writeSetting(file(), "set", "k", "2"));
        QCOMPARE(readSetting(file(), "set", "k"), fifo ? QString() : QString("1"));
        const QFileInfo info(file());
        QCOMPARE(info.isFile(), !fifo);
        if (!fifo)
            QCOMPARE(info.size(), kMaxWritableSettingsFileSize + 10);
    }

    void writeLeavesNoTemporaryFiles() {
        QTemporaryDir d;
        const QString path = d.filePath("settings.dat");
        for (int i = 0; i < 5; ++i)
            QVERIFY(writeSetting(path, "set", "thread", QString::number(i)));
        QCOMPARE(QDir(d.path()).entryList(QDir::Files), QStringList{"settings.dat"});
    }

    void writeIntoDirectoryPathFails() {
        QTemporaryDir d;
        QVERIFY(!writeSetting(d.path(), "set", "k", "v"));
    }

    void settingsMoveToConfigWhenFolderUnusable() {
        QTemporaryDir home;
        qputenv("XDG_CONFIG_HOME", home.path().toUtf8());
        setProgramFolder(home.path() + "/no-such-folder");
        QCOMPARE(settingsFilePath(), home.path() + "/clipvane/settings.dat");
        setProgramFolder(dir.path());
        QCOMPARE(settingsFilePath(), dir.path() + "/settings.dat");
        // An installed folder is shared even where it can be written (as root can).
        QTemporaryDir installed;
        QFile marker(installed.filePath(kInstalledMarker));
        QVERIFY(marker.open(QIODevice::WriteOnly));
        setProgramFolder(installed.path());
        QCOMPARE(settingsFilePath(), home.path() + "/clipvane/settings.dat");
        QVERIFY(defaultOutputFolder() != installed.path());
        setProgramFolder(QString());
    }

    void folderWithSlash_data() {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("expected");
        QTest::newRow("ordinary") << "/opt/clipvane"
                                  << "/opt/clipvane/";
        QTest::newRow("root") << "/"
                              << "/";
        QTest::newRow("already slashed") << "/opt/x/"
                                         << "/opt/x/";
    }
    void folderWithSlash() {
        QFETCH(QString, folder);
        QFETCH(QString, expected);
        setProgramFolder(folder);
        QCOMPARE(programFolderWithSlash(), expected);
        setProgramFolder(QString());
    }

    void timeText_data() {
        QTest::addColumn<qint64>("seconds");
        QTest::addColumn<QString>("text");
        QTest::newRow("zero") << qint64(0) << "0:00:00";
        QTest::newRow("5") << qint64(5) << "0:00:05";
        QTest::newRow("65") << qint64(65) << "0:01:05";
        QTest::newRow("5400") << qint64(5400) << "1:30:00";
        QTest::newRow("past 16 bits") << qint64(32768) << "9:06:08";
        QTest::newRow("30 hours") << qint64(108000) << "30:00:00";
        QTest::newRow("negative") << qint64(-4) << "0:00:00";
    }
    void timeText() {
        QFETCH(qint64, seconds);
        QFETCH(QString, text);
        QCOMPARE(clipvane::timeText(seconds), text);
        if (seconds >= 0)
            QCOMPARE(parseTimeText(text), std::optional<qint64>(seconds));
    }

    // Clip times to the hundredth: whole seconds read as before; the encoder's seconds.
    void clipTimes_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<qint64>("centiseconds"); // -1: not a time
        QTest::addColumn<QString>("shown");       // clipTimeText of it
        QTest::addColumn<QString>("seconds");     // secondsText of it
        QTest::newRow("whole") << "0:01:12" << qint64(7200) << "0:01:12"
                               << "72";
        QTest::newRow("tenths") << "0:01:12.5" << qint64(7250) << "0:01:12.50"
                                << "72.5";
        QTest::newRow("hundredths") << "1:00:03.25" << qint64(360325) << "1:00:03.25"
                                    << "3603.25";
        QTest::newRow("zero hundredths") << "0:00:04.00" << qint64(400) << "0:00:04"
                                         << "4";
        QTest::newRow("below a second") << "0:00:00.07" << qint64(7) << "0:00:00.07"
                                        << "0.07";
        for (const char* t : {"0:00:01.", "0:00:01.123", "0:00:01,5", "1.5", "0:00:61.00"})
            QTest::newRow(t) << QString(t) << qint64(-1) << ""
                             << "";
    }
    void clipTimes() {
        QFETCH(QString, text);
        QFETCH(qint64, centiseconds);
        QFETCH(QString, shown);
        QFETCH(QString, seconds);
        const std::optional<qint64> parsed = parseClipTime(text);
        if (centiseconds < 0) {
            QVERIFY(!parsed);
            return;
        }
        QCOMPARE(parsed, std::optional<qint64>(centiseconds));
        QCOMPARE(clipTimeText(centiseconds), shown);
        QCOMPARE(secondsText(centiseconds), seconds);
    }

    void parseTimeRejects_data() {
        QTest::addColumn<QString>("text");
        for (const char* t : {"", "abc", "1:60:00", "0:00:61", "1::2", "-1:00:00", "1:2:3:4"})
            QTest::newRow(t) << QString(t);
    }
    void parseTimeRejects() {
        QFETCH(QString, text);
        QVERIFY(!parseTimeText(text).has_value());
    }

    void numbers_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("leading");
        QTest::addColumn<bool>("strictOk");
        QTest::newRow("empty") << "" << 0.0 << false;
        QTest::newRow("int") << "3" << 3.0 << true;
        QTest::newRow("blanks") << "  8 " << 8.0 << true;
        QTest::newRow("trailing text") << "2abc" << 2.0 << false;
        QTest::newRow("decimal") << "29.97" << 29.97 << true;
        QTest::newRow("negative") << "-3" << -3.0 << true;
        QTest::newRow("word") << "Auto" << 0.0 << false;
    }
    void numbers() {
        QFETCH(QString, text);
        QFETCH(double, leading);
        QFETCH(bool, strictOk);
        QCOMPARE(leadingNumber(text), leading);
        QCOMPARE(strictNumber(text).has_value(), strictOk);
    }

    void halvesToEven_data() {
        QTest::addColumn<double>("value");
        QTest::addColumn<qint64>("expected");
        const double inf = std::numeric_limits<double>::infinity();
        const qint64 most = std::numeric_limits<qint64>::max();
        const qint64 least = std::numeric_limits<qint64>::min();
        QTest::newRow("12.5") << 12.5 << qint64(12);
        QTest::newRow("13.5") << 13.5 << qint64(14);
        QTest::newRow("nan") << std::nan("") << qint64(0);
        QTest::newRow("inf") << inf << most;
        QTest::newRow("1e19") << 1e19 << most;
        QTest::newRow("-1e19") << -1e19 << least;
        QTest::newRow("largest below 2^63") << 9223372036854774784.0 << qint64(9223372036854774784);
    }
    void halvesToEven() {
        QFETCH(double, value);
        QFETCH(qint64, expected);
        QCOMPARE(roundHalfEven(value), expected);
    }

    // How a run reads the stored texts: files at once, and whether existing outputs are
    // overwritten (only an empty text or "0" keeps them).
    void typedValuesFromTheFile_data() {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("stored");
        QTest::addColumn<int>("value");
        const int cores = Preferences::maxParallel();
        QTest::newRow("parallel missing") << "parallel" << QString() << 1;
        QTest::newRow("all cores") << "parallel" << QString::number(cores) << cores;
        QTest::newRow("more than the cores") << "parallel" << QString::number(cores + 1) << 1;
        QTest::newRow("fraction") << "parallel"
                                  << "1.5" << 1;
        QTest::newRow("words") << "parallel"
                               << "two" << 1;
        QTest::newRow("existedfile missing") << "existedfile" << QString() << 0;
        QTest::newRow("existedfile 0") << "existedfile"
                                       << "0" << 0;
        QTest::newRow("existedfile 1") << "existedfile"
                                       << "1" << 1;
        QTest::newRow("existedfile other") << "existedfile"
                                           << "yes" << 1;
        QTest::newRow("nexttosource missing") << "nexttosource" << QString() << 0;
        QTest::newRow("nexttosource 1") << "nexttosource"
                                        << "1" << 1;
        QTest::newRow("nexttosource other") << "nexttosource"
                                            << "yes" << 0;
        QTest::newRow("qualityscore missing") << "qualityscore" << QString() << 1;
        QTest::newRow("qualityscore 0") << "qualityscore"
                                        << "0" << 0;
        QTest::newRow("qualityscore 1") << "qualityscore"
                                        << "1" << 1;
    }
    void typedValuesFromTheFile() {
        QFETCH(QString, key);
        QFETCH(QString, stored);
        QFETCH(int, value);
        QTemporaryDir dir;
        const Preferences preferences(dir.filePath("settings.dat"));
        if (!stored.isNull())
            preferences.setValue(qPrintable(key), stored);
        const int read = key == "parallel"       ? preferences.parallel()
                         : key == "nexttosource" ? int(RunSettings::read(preferences).nextToSource)
                         : key == "qualityscore" ? int(RunSettings::read(preferences).scoreQuality)
                                                 : int(preferences.overwriteExisting());
        QCOMPARE(read, value);
    }

    // A path an older program wrote in its 8-bit code page reads as Windows-1252 and is said;
    // other keys and UTF-8 lines read as ever. Only saving the dialog's choices rewrites it.
    void eightBitPaths_data() {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QStringList>("converted");
        QTest::newRow("Windows-1252")
            << QByteArray("outputfolder=/v/Vid\xE9os \x80") << QString("/v/Vid\u00e9os \u20ac")
            << QStringList{"outputfolder"};
        QTest::newRow("a free byte of it") << QByteArray("outputfolder=/v/\x81")
                                           << QString("/v/\u0081") << QStringList{"outputfolder"};
        QTest::newRow("UTF-8") << QByteArray("outputfolder=/v/Vid\xC3\xA9os")
                               << QString("/v/Vid\u00e9os") << QStringList{};
        QTest::newRow("another key") << QByteArray("thread=\xE9") << QString() << QStringList{};
    }
    void eightBitPaths() {
        QFETCH(QByteArray, line);
        QFETCH(QString, folder);
        QFETCH(QStringList, converted);
        const QByteArray before = "[set]\r\n" + line + "\r\nprofile=2\r\n";
        put(before);
        const Preferences preferences(file());
        QCOMPARE(preferences.outputFolder(), folder);
        QCOMPARE(preferences.convertedPathKeys(), converted);
        preferences.setProfile(3); // the program's own writes keep the line's bytes
        QCOMPARE(contents(), QByteArray(before).replace("profile=2", "profile=3"));
        BatchChoices choices = preferences.batchChoices();
        QCOMPARE(preferences.saveBatchChoices(choices), Preferences::SaveResult::Saved);
        QCOMPARE(readSetting(file(), "set", "outputfolder"),
                 folder.isEmpty() ? defaultOutputFolder() : folder);
        QVERIFY(preferences.convertedPathKeys().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_settings.moc"
