#include "base/textvalues.h"
#include "process/childtools.h"
#include "process/commandline.h"
#include "sources/mediaprobe.h"
#include "tests/support/testsupport.h"

#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>
#include <cmath>
#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

#ifndef __has_feature
#define __has_feature(x) 0
#endif
#if defined(__SANITIZE_ADDRESS__) || __has_feature(address_sanitizer)
constexpr bool kAddressSanitizer = true; // it holds on to freed memory: peaks say nothing
#else
constexpr bool kAddressSanitizer = false;
#endif

using namespace clipvane;

namespace {
// Takes from this thread, while alive, root's power to read past file permissions.
struct NoPermissionOverride {
    NoPermissionOverride() {
        if (syscall(SYS_capget, &head, saved) != 0)
            return;
        __user_cap_data_struct less[2] = {saved[0], saved[1]};
        less[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
        ok = syscall(SYS_capset, &head, less) == 0;
    }
    ~NoPermissionOverride() {
        if (ok)
            syscall(SYS_capset, &head, saved);
    }
    __user_cap_header_struct head{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct saved[2]{};
    bool ok = false;
};

qint64 peakMemoryKiB() {
    QFile status("/proc/self/status");
    status.open(QIODevice::ReadOnly);
    const QByteArray text = status.readAll();
    return text.mid(text.indexOf("VmHWM:") + 6).trimmed().split(' ').first().toLongLong();
}

// MPlayer echoes the name, and quits before its own ID_LENGTH on a file without video.
// How long a test waits for what should come within moments.
constexpr int kWaitMs = 60000;

const QString kPlanted = "tone\nID_VIDEO_ID=0\nID_LENGTH=999\n.mp3";
} // namespace

class TestProbe : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    QString tmp; // TMPDIR while the tests run: where the probe's private folders go

private slots:
    void initTestCase() {
        tmp = dir.filePath("tmp");
        QVERIFY(QDir().mkdir(tmp));
        qputenv("TMPDIR", tmp.toLocal8Bit());
        for (const QString name : {"a.mpg", "raw.m2v"})
            QVERIFY(test::makeClip(dir.filePath(name),
                                   {"-f", "lavfi", "-i", "testsrc=size=160x120", "-t", "10"},
                                   {"-c:v", "mpeg2video"}));
        for (const int seconds : {3, 6})
            QVERIFY(test::makeClip(
                dir.filePath(QString("%1s.mpg").arg(seconds)),
                {"-f", "lavfi", "-i", "testsrc=size=160x120", "-t", QString::number(seconds)},
                {"-c:v", "mpeg2video"}));
        QVERIFY(QFile::copy(dir.filePath("a.mpg"), dir.filePath("10s.mpg")));
        QVERIFY(test::makeClip(dir.filePath("tone.mp3"),
                               {"-f", "lavfi", "-i", "sine=frequency=300", "-t", "10"}, {}));
        QVERIFY(QFile::copy(dir.filePath("tone.mp3"), dir.filePath(kPlanted)));
        // An MP4 cut in half: its index, written last, is gone.
        QVERIFY(test::makeClip(dir.filePath("whole.mp4"),
                               {"-f", "lavfi", "-i", "testsrc=size=720x480", "-t", "4"},
                               {"-c:v", "mpeg4"}));
        QFile whole(dir.filePath("whole.mp4"));
        QVERIFY(whole.open(QIODevice::ReadOnly));
        QFile half(dir.filePath("half.mp4"));
        QVERIFY(half.open(QIODevice::WriteOnly));
        half.write(whole.read(whole.size() / 2));
        half.close();
        QVERIFY(QFile::copy(dir.filePath("a.mpg"), dir.filePath("locked.mpg")));
        QVERIFY(QFile::setPermissions(dir.filePath("locked.mpg"), {}));
        QVERIFY(QDir().mkdir(dir.filePath("folder.mpg")));
        QVERIFY(QFile(dir.filePath("empty.mpg")).open(QIODevice::WriteOnly));
        QVERIFY(QProcess::execute("mkfifo", {dir.filePath("stalled.mpg")}) == 0);
    }

    // End is the container's length (MPlayer reads 0 for MPEG streams), or empty with a note.
    void probe_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("because"); // in the note; empty: End is 10 s
        // (Transport streams, VOB and live-written Matroska convert end to end in tst_awkward.)
        // Sound only is listed too, whatever its name says.
        for (const QString& f :
             {QString("a.mpg"), QString("raw.m2v"), QString("tone.mp3"), kPlanted})
            QTest::newRow(qPrintable(f == kPlanted ? "name planting ID lines" : f)) << f << "";
        const QList<std::array<QString, 3>> failures = {
            {"missing", "missing.mpg", "cannot find"},
            {"folder", "folder.mpg", "folder"},
            {"zero bytes", "empty.mpg", "empty"},
            {"unreadable", "locked.mpg", "Permission denied"},
            {"index lost", "half.mp4", "damaged or incomplete: its index is missing"},
            {"no answer", "stalled.mpg", "gave up"},
            {"player tool missing", "a.mpg", "mp.dll is missing"},
            {"MPlayer missing", "a.mpg", "cannot run '/nonexistent/mplayer'"},
        };
        for (const auto& [tag, file, because] : failures)
            QTest::newRow(qPrintable(tag)) << file << because;
    }
    void probe() {
        QFETCH(QString, file);
        QFETCH(QString, because);
        test::ProgramFolder folder;
        const QByteArray tag = QTest::currentDataTag();
        if (tag == "player tool missing")
            QVERIFY(QFile::remove(folder.path() + "/mp.dll"));
        qputenv("CLIPVANE_MPLAYER", tag == "MPlayer missing" ? "/nonexistent/mplayer" : "");
        NoPermissionOverride asAnyUser;
        SourceList list;
        const auto id =
            test::addAndProbe(list, dir.filePath(file), tag == "no answer" ? 1500 : 60000);
        const QString end = list.text(id, SourceList::End);
        QCOMPARE(list.text(id, SourceList::VideoTime), end);
        if (because.isEmpty()) {
            QVERIFY2(std::abs(parseTimeText(end).value_or(0) - 10) <= 1, qPrintable(end));
            QCOMPARE(list.note(id), QString());
        } else {
            QCOMPARE(end, QString());
            QVERIFY2(list.note(id).contains(because), qPrintable(list.note(id)));
            // What the player guessed of a file the prober cannot read is not shown.
            if (tag == "index lost")
                QCOMPARE(list.text(id, SourceList::Size) + list.text(id, SourceList::Format),
                         QString("0x0"));
        }
        QCOMPARE(QDir(tmp).entryList({"clipvane-probe-*"}, QDir::AllEntries), QStringList());
    }

    // The picture's display aspect (its sample aspect honoured) and whether the file has sound.
    void pictureShapeAndSound_data() {
        QTest::addColumn<QString>("picture"); // size:sample aspect
        QTest::addColumn<bool>("sound");
        QTest::addColumn<double>("aspect");
        QTest::newRow("16:9") << "640x360:sar=1" << true << 16.0 / 9;
        QTest::newRow("PAL 16:9") << "720x576:sar=64/45" << true << 16.0 / 9;
        QTest::newRow("PAL 4:3, silent") << "720x576:sar=16/15" << false << 4.0 / 3;
    }
    void pictureShapeAndSound() {
        QFETCH(QString, picture);
        QFETCH(bool, sound);
        QFETCH(double, aspect);
        const QString file = dir.filePath(QString(QTest::currentDataTag()) + ".mkv");
        QStringList inputs{"-f", "lavfi", "-i", "testsrc=size=" + picture};
        QVERIFY(test::makeClip(
            file, inputs + (sound ? QStringList{"-f", "lavfi", "-i", "sine"} : QStringList{}),
            {"-t", "1", "-c:v", "mpeg4"}));
        test::ProgramFolder folder;
        qputenv("CLIPVANE_MPLAYER", "");
        SourceList list;
        const auto id = test::addAndProbe(list, file);
        QVERIFY2(qAbs(list.pictureAspect(id) - aspect) < 0.001,
                 qPrintable(QString::number(list.pictureAspect(id))));
        QCOMPARE(list.isSoundless(id), !sound);
    }

    // The look at the picture starts beside the player's identify once the listing gives the
    // length, and its findings reach the row whichever of the two answers last. Each slow tool
    // waits (at most 20 s) for a sign of the other, so the order is the same on any machine.
    void pictureLookedAtWhicheverAnswersFirst_data() {
        QTest::addColumn<QByteArray>("player"); // the scripts; %1 is a folder for their signs
        QTest::addColumn<QByteArray>("look");
        const auto waitFor = [](const QByteArray& sign) {
            return "for i in $(seq 200); do [ -e %1" + sign + " ] && break; sleep 0.1; done\n";
        };
        QTest::newRow("player answers last")
            << waitFor("looking") + "[ -e %1looking ] && touch %1saw\nexec mplayer \"$@\""
            << QByteArray("touch %1looking\nexec ffmpeg \"$@\"");
        QTest::newRow("look answers last")
            << QByteArray("mplayer \"$@\"\ns=$?\ntouch %1identified\nexit $s")
            << waitFor("identified") + "exec ffmpeg \"$@\"";
    }
    void pictureLookedAtWhicheverAnswersFirst() {
        QFETCH(QByteArray, player);
        QFETCH(QByteArray, look);
        const QString file = dir.filePath("letterbox.mkv");
        QVERIFY(QFile::exists(file) ||
                test::makeClip(file,
                               {"-f", "lavfi", "-i",
                                "testsrc=size=320x160:rate=10:duration=2,pad=320:240:0:40"},
                               {"-c:v", "mpeg4", "-q:v", "2"}));
        test::ProgramFolder folder;
        for (auto [variable, script] :
             {std::pair{"CLIPVANE_MPLAYER", player}, {"CLIPVANE_FFMPEG", look}}) {
            QFile tool(folder.path() + "/" + variable);
            QVERIFY(tool.open(QIODevice::WriteOnly));
            tool.write("#!/bin/sh\n" +
                       script.replace("%1", QFile::encodeName(folder.path() + "/")));
            tool.close();
            QVERIFY(tool.setPermissions(tool.permissions() | QFile::ExeOwner));
            qputenv(variable, QFile::encodeName(tool.fileName()));
        }
        SourceList list;
        const auto id = test::addAndProbe(list, file, 60000);
        qputenv("CLIPVANE_MPLAYER", "");
        qputenv("CLIPVANE_FFMPEG", "");
        QCOMPARE(list.note(id), QString());
        QVERIFY(std::abs(parseTimeText(list.text(id, SourceList::End)).value_or(0) - 2) <= 1);
        QVERIFY2(!player.contains("saw") || QFile::exists(folder.path() + "/saw"),
                 "the look waited for the player");
        const PictureFacts picture = list.streamFacts(id).picture;
        QCOMPARE(picture.detectedCrop, std::optional(CropWindow{320, 160, 0, 40}));
        QCOMPARE(picture.interlaced, std::optional(false));
    }

    // Twenty files examined four at a time, one of which never answers: the rows keep the
    // order given and each gets its own file's length. A list cleared at the first answer
    // takes no more writes and ends the probes under way. Nothing is left pending.
    void parallel_data() {
        QTest::addColumn<bool>("clear");
        QTest::newRow("all probed") << false;
        QTest::newRow("cleared at the first answer") << true;
    }
    void parallel() {
        QFETCH(bool, clear);
        test::ProgramFolder folder;
        qputenv("CLIPVANE_MPLAYER", "");
        qputenv("CLIPVANE_FFPROBE", "");
        QStringList paths;
        QList<int> seconds;
        for (int i = 0; i < 20; ++i) {
            seconds << QList{3, 6, 10}.at(i % 3);
            paths << dir.filePath(QString("copy%1.mpg").arg(i));
            QVERIFY(
                QFile::exists(paths.last()) ||
                QFile::copy(dir.filePath(QString("%1s.mpg").arg(seconds.last())), paths.last()));
        }
        paths[1] = dir.filePath("stalled.mpg");
        SourceList list;
        int writesAfterClear = -1;
        connect(&list, &SourceList::dataChanged, &list, [&] {
            if (writesAfterClear >= 0)
                ++writesAfterClear;
            else if (clear) {
                writesAfterClear = 0;
                list.clearAll();
            }
        });
        QElapsedTimer clock;
        clock.start();
        // Cleared, the stalled file's probe ends at once, far from its time limit.
        const int limitMs = clear ? 30000 : 6000;
        const QList<SourceList::Id> ids = test::addAndProbe(list, paths, 4, limitMs);
        QCOMPARE(list.pendingProbes(), 0);
        QCOMPARE(ids.size(), 20);
        if (clear) {
            QCOMPARE(list.count(), 0);
            QCOMPARE(writesAfterClear, 0);
            QVERIFY2(clock.elapsed() < limitMs / 2, qPrintable(QString::number(clock.elapsed())));
            return;
        }
        for (int r = 0; r < 20; ++r) {
            QCOMPARE(list.idAt(r), ids[r]);
            QCOMPARE(list.textAt(r, SourceList::FileName), paths[r]);
            const QString end = list.textAt(r, SourceList::End);
            if (r == 1)
                QVERIFY2(end.isEmpty() && list.note(ids[r]).contains("gave up"), qPrintable(end));
            else
                QVERIFY2(std::abs(parseTimeText(end).value_or(0) - seconds[r]) <= 1,
                         qPrintable(paths[r] + ": " + end));
        }
    }

    // Five files two at a time, the second let go first: the rows are there at once and empty,
    // each fills as its own probe ends, a third probe starts only when one ends, and the list
    // counts the whole stretch as one pending probe. drained() comes once per stretch.
    void queueLimitAndOrder() {
        test::ProgramFolder folder;
        test::HeldPlayer player;
        QVERIFY(player.isValid());
        QStringList paths;
        for (int i = 0; i < 5; ++i) {
            paths << dir.filePath(QString("held%1.mpg").arg(i));
            QVERIFY(QFile::exists(paths.last()) ||
                    QFile::copy(dir.filePath("3s.mpg"), paths.last()));
        }
        const auto name = [&](int i) { return QFileInfo(paths[i]).fileName(); };
        SourceList list;
        ProbeQueue queue(list);
        queue.setParallel(2);
        QSignalSpy drained(&queue, &ProbeQueue::drained);
        QList<SourceList::Id> order;
        bool withinLimit = true;
        connect(&queue, &ProbeQueue::rowProbed, &queue, [&](quint64 id) {
            order << id;
            withinLimit = withinLimit && player.started().size() <= order.size() + 1;
        });
        const QList<SourceList::Id> ids = queue.add(paths);
        QCOMPARE(list.count(), 5);
        QCOMPARE(list.pendingProbes(), 1);
        QTRY_COMPARE_WITH_TIMEOUT(player.started(), (QStringList{name(0), name(1)}), kWaitMs);
        QCOMPARE(list.text(ids[0], SourceList::End), QString());

        player.release(name(1));
        QTRY_COMPARE_WITH_TIMEOUT(order, QList{ids[1]}, kWaitMs);
        QCOMPARE(list.text(ids[1], SourceList::End), QString("0:00:03"));
        QCOMPARE(list.text(ids[0], SourceList::End), QString());
        QTRY_COMPARE_WITH_TIMEOUT(player.started(), (QStringList{name(0), name(1), name(2)}),
                                  kWaitMs);
        player.release(name(0));
        QTRY_COMPARE_WITH_TIMEOUT(order.size(), 2, kWaitMs);
        QTRY_COMPARE_WITH_TIMEOUT(player.started().size(), 4, kWaitMs);
        QCOMPARE(drained.size(), 0);
        player.releaseAll();
        QVERIFY(drained.wait(kWaitMs));
        QCOMPARE(order.size(), 5);
        QVERIFY(withinLimit);
        QCOMPARE(list.pendingProbes(), 0);
        for (const SourceList::Id id : ids)
            QCOMPARE(list.text(id, SourceList::End), QString("0:00:03"));

        // A later file is a new stretch of its own.
        queue.add(paths[0]);
        QCOMPARE(list.pendingProbes(), 1);
        QVERIFY(drained.wait(kWaitMs));
        QCOMPARE(drained.size(), 2);
        QCOMPARE(list.pendingProbes(), 0);
    }

    // A row removed, or the list cleared, while its file is examined ends that probe at once
    // (far from its time limit) and takes no writes; a row removed while it waits is never
    // examined.
    void queueFollowsRemovals_data() {
        QTest::addColumn<int>("removed");         // the row removed; -1: the list cleared
        QTest::addColumn<QStringList>("written"); // the rows filled: name and End
        QTest::addColumn<QStringList>("started"); // the files the player was started on
        QTest::newRow("row removed while probed")
            << 0 << QStringList{"3s.mpg 0:00:03"} << QStringList{"3s.mpg", "a.mpg"};
        QTest::newRow("row removed while waiting")
            << 1 << QStringList{"a.mpg 0:00:10"} << QStringList{"a.mpg"};
        QTest::newRow("list cleared") << -1 << QStringList{} << QStringList{"a.mpg"};
    }
    void queueFollowsRemovals() {
        QFETCH(int, removed);
        QFETCH(QStringList, written);
        QFETCH(QStringList, started);
        test::ProgramFolder folder;
        test::HeldPlayer player;
        QVERIFY(player.isValid());
        SourceList list;
        ProbeQueue queue(list);
        queue.setParallel(1);
        QSignalSpy drained(&queue, &ProbeQueue::drained);
        QStringList filled;
        connect(&queue, &ProbeQueue::rowProbed, &queue, [&](quint64 id) {
            filled << QFileInfo(list.text(id, SourceList::FileName)).fileName() + " " +
                          list.text(id, SourceList::End);
        });
        // A time limit far beyond any wait here.
        queue.add({dir.filePath("a.mpg"), dir.filePath("3s.mpg")}, 3600 * 1000);
        QTRY_COMPARE_WITH_TIMEOUT(player.started(), QStringList{"a.mpg"}, kWaitMs);
        const qint64 first = player.processId("a.mpg");
        if (removed < 0)
            list.clearAll();
        else
            list.removeAt(removed);
        player.release(removed == 1 ? "a.mpg" : "3s.mpg");
        QVERIFY(drained.wait(kWaitMs));
        QCOMPARE(list.pendingProbes(), 0);
        QCOMPARE(filled, written);
        QCOMPARE(player.started(), started);
        if (removed != 1)
            QTRY_VERIFY_WITH_TIMEOUT(!test::processAlive(first), kWaitMs);
    }

    void boundedOutput_data() {
        QTest::addColumn<QByteArray>("script");
        QTest::addColumn<int>("timeoutMs");
        QTest::newRow("300 MB, then the ID lines")
            << QByteArray("head -c 300000000 /dev/zero | tr '\\0' x\n"
                          "printf '\\nID_VIDEO_WIDTH=64\\nID_VIDEO_HEIGHT=48\\nID_LENGTH=7\\n'")
            << 60000;
        QTest::newRow("endless") << QByteArray("printf 'ID_VIDEO_WIDTH=64\\n'; exec yes") << 2000;
    }
    void boundedOutput() {
        QFETCH(QByteArray, script);
        QFETCH(int, timeoutMs);
        const bool ends = timeoutMs > 2000;
        test::ProgramFolder folder;
        QFile tool(folder.path() + "/mp.dll");
        QVERIFY(tool.remove() && tool.open(QIODevice::WriteOnly));
        tool.write("#!/bin/sh\n" + script + "\n");
        tool.close();
        QVERIFY(tool.setPermissions(QFileDevice::ReadOwner | QFileDevice::ExeOwner));
        SourceList list;
        QElapsedTimer clock;
        clock.start();
        const auto id = test::addAndProbe(list, dir.filePath("a.mpg"), timeoutMs);
        QVERIFY(clock.elapsed() < timeoutMs + 3000);
        QCOMPARE(list.text(id, SourceList::Size), QString(ends ? "64x48" : "64x0"));
        QCOMPARE(list.text(id, SourceList::End), QString(ends ? "0:00:10" : ""));
        QCOMPARE(list.note(id).isEmpty(), ends);
        const qint64 peak = peakMemoryKiB();
        QVERIFY2(kAddressSanitizer || (peak > 0 && peak < 100 * 1024),
                 qPrintable(QString::number(peak)));
    }

    // A tool's own children end with it.
    // A probe's tool and whatever it started end when its row goes, and at the quick exit
    // that closing the window makes.
    void endsToolGroup_data() {
        QTest::addColumn<bool>("quickExit");
        QTest::newRow("row removed") << false;
        QTest::newRow("quick exit") << true;
    }
    void endsToolGroup() {
        QFETCH(bool, quickExit);
        test::ProgramFolder folder;
        // A player that starts a child of its own, says who they are, and never ends.
        const QString pids = folder.path() + "/pids";
        const QString player = folder.path() + "/hanging-mplayer";
        QFile script(player);
        QVERIFY(script.open(QIODevice::WriteOnly));
        script.write("#!/bin/sh\nsleep 300 &\necho $$ $! > '" + pids.toUtf8() + ".new'\nmv '" +
                     pids.toUtf8() + ".new' '" + pids.toUtf8() + "'\nwait\n");
        script.close();
        QVERIFY(script.setPermissions(script.permissions() | QFile::ExeOwner));
        qputenv("CLIPVANE_MPLAYER", player.toLocal8Bit());
        SourceList list;
        QList<qint64> spawned;
        bool allAlive = true;
        QTimer look;
        QObject::connect(&look, &QTimer::timeout, [&] {
            QFile f(pids);
            if (!f.open(QIODevice::ReadOnly))
                return;
            look.stop();
            for (const QByteArray& pid : f.readAll().trimmed().split(' '))
                spawned << pid.toLongLong();
            for (const qint64 pid : spawned)
                allAlive = allAlive && test::processAlive(pid);
            if (quickExit)
                ChildTools::instance().endAtQuickExit();
            else
                list.removeAt(0);
        });
        look.start(50);
        test::addAndProbe(list, {dir.filePath("a.mpg")}, 1, 30000);
        qputenv("CLIPVANE_MPLAYER", "");
        QCOMPARE(spawned.size(), 2);
        QVERIFY(allAlive);
        for (const qint64 pid : spawned)
            QTRY_VERIFY(!test::processAlive(pid));
    }

    // What probes of a program that was killed left behind goes at the next start; what a
    // running one uses stays.
    void staleProbeFoldersAreRemoved() {
        QProcess gone;
        gone.start("true");
        QVERIFY(gone.waitForStarted());
        const qint64 dead = gone.processId();
        QVERIFY(gone.waitForFinished());
        const QString tmp = QDir::tempPath() + "/" + kProbeFolderPrefix;
        const QString own = tmp + QString::number(QCoreApplication::applicationPid()) + "-aaaaaa";
        const QStringList stale{tmp + QString::number(dead) + "-bbbbbb", tmp + "Cccccc"};
        const QString young = tmp + "Dddddd"; // an older version's, perhaps still probing
        for (const QString& folder : stale + QStringList{own, young}) {
            QVERIFY(QDir().mkpath(folder));
            QVERIFY(QFile::link("/dev/null", folder + "/input"));
        }
        QCOMPARE(QProcess::execute("touch", {"-d", "2 hours ago", stale.last()}), 0);
        QVERIFY(removeStaleProbeFolders() >= 2);
        for (const QString& folder : stale)
            QVERIFY(!QFileInfo::exists(folder));
        QVERIFY(QFileInfo::exists("/dev/null"));
        for (const QString& folder : {own, young}) {
            QVERIFY(QFileInfo::exists(folder + "/input"));
            QDir(folder).removeRecursively();
        }
    }
};

QTEST_GUILESS_MAIN(TestProbe)
#include "tst_probe.moc"
