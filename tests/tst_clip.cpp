#include "base/apppaths.h"
#include "base/textvalues.h"
#include "clip/clipsession.h"
#include "process/childtools.h"

#include "tests/support/testsupport.h"

#include <QtTest>

using namespace clipvane;

class TestClip : public QObject {
    Q_OBJECT

    SourceList list;
    PlayerState state;
    test::KeyLog keys;
    SourceList::Id row = 0;

    std::unique_ptr<ClipSession> open(const QString& start, const QString& end,
                                      const QString& length) {
        list.clearAll();
        row = list.append("/v/holiday.avi");
        list.setClip(row, parseClipTime(start), parseClipTime(end));
        list.setLength(row, parseClipTime(length));
        auto session =
            std::make_unique<ClipSession>(*ClipOpening::fromSelectedRow(list, 0), &state, &keys);
        session->load();
        return session;
    }

private slots:
    void init() {
        setProgramFolder("/opt/clipvane");
        state = PlayerState();
        keys.sent.clear();
    }

    void loadsAFreshRow() {
        state.position = 9;
        auto s = open("0:00:00", "0:01:05", "0:01:05");
        QCOMPARE((QStringList{s->startText(), s->endText(), s->clipText()}),
                 (QStringList{"0:00:00", "0:01:05", "0:01:05"}));
        QCOMPARE(s->sliderMaximum(), 65);
        QCOMPARE(s->startSliderValue(), 0);
        QCOMPARE(s->endSliderValue(), 65);
        QCOMPARE(state.position, 0);
        QCOMPARE(state.length, 65);
        QCOMPARE(s->caption(), QString("Clip Time  -  /v/holiday.avi"));
    }

    void ok_data() {
        QTest::addColumn<qint64>("start");
        QTest::addColumn<qint64>("end");
        QTest::addColumn<bool>("written");
        QTest::newRow("valid") << qint64(10) << qint64(40) << true;
        QTest::newRow("equal") << qint64(30) << qint64(30) << false;
        QTest::newRow("reversed") << qint64(40) << qint64(10) << false;
        // As texts "9:00:00" sorts after "10:00:00"; as times it comes first.
        QTest::newRow("9:00:00 to 10:00:00") << qint64(9 * 3600) << qint64(10 * 3600) << true;
    }
    void ok() {
        QFETCH(qint64, start);
        QFETCH(qint64, end);
        QFETCH(bool, written);
        auto s = open("0:00:00", "11:00:00", "11:00:00");
        s->startSliderReleased(start);
        s->endSliderReleased(end);
        const auto result = s->ok(list);
        QCOMPARE(result, written ? ClipSession::OkResult::Written : ClipSession::OkResult::Refused);
        QCOMPARE(list.text(row, SourceList::Start), written ? s->startText() : QString("0:00:00"));
        QCOMPARE(list.text(row, SourceList::End), written ? s->endText() : QString("11:00:00"));
        QCOMPARE(list.text(row, SourceList::VideoTime), QString("11:00:00"));
        if (written)
            QCOMPARE(s->clipText(), timeText(end - start));
    }

    void okWritesOnlyItsOwnRow() {
        auto s = open("0:00:00", "0:01:05", "0:01:05");
        s->endSliderReleased(30);
        list.clearAll();
        const auto other = list.append("/v/other.avi");
        QCOMPARE(s->ok(list), ClipSession::OkResult::RowGone);
        QCOMPARE(list.text(other, SourceList::End), QString());
    }

    // Typed times: to the hundredth, kept within the file (its exact length), the slider at
    // their second; what is not a time changes nothing; OK writes them as typed.
    void typedTimes_data() {
        QTest::addColumn<QString>("typedStart");
        QTest::addColumn<QString>("typedEnd");
        QTest::addColumn<QStringList>("shown"); // start, end, clip length, start and end slider
        QTest::newRow("hundredths")
            << "0:00:01.5"
            << "0:00:03.25" << QStringList{"0:00:01.50", "0:00:03.25", "0:00:01.75", "1", "3"};
        QTest::newRow("past the end")
            << "0:00:02"
            << "1:00:00" << QStringList{"0:00:02", "0:00:10", "0:00:08", "2", "10"};
        QTest::newRow("not times")
            << "soon"
            << "0:00:99" << QStringList{"0:00:00", "0:00:10", "0:00:10", "0", "10"};
    }
    void typedTimes() {
        QFETCH(QString, typedStart);
        QFETCH(QString, typedEnd);
        QFETCH(QStringList, shown);
        const auto id = list.append("/v/ten.avi");
        list.setClip(id, 0, 1000);
        list.setLength(id, 1000);
        list.setMediaFacts(id, MediaFacts{10.04, 25});
        ClipSession s(*ClipOpening::fromSelectedRow(list, list.rowOf(id)), &state, &keys);
        s.load();
        s.typeTime(ClipSession::Edge::Start, typedStart);
        s.typeTime(ClipSession::Edge::End, typedEnd);
        QCOMPARE((QStringList{s.startText(), s.endText(), s.clipText(),
                              QString::number(s.startSliderValue()),
                              QString::number(s.endSliderValue())}),
                 shown);
        QCOMPARE(s.ok(list), ClipSession::OkResult::Written);
        QCOMPARE(list.text(id, SourceList::Start), shown.at(0));
        QCOMPARE(list.text(id, SourceList::End), shown.at(1));
    }

    void playerUsesTheDialogsFileAndOptions() {
        state.selectedSourcePath = "/v/preview.avi";
        auto s = open("0:00:00", "0:01:05", "0:01:05");
        QStringList started;
        s->player().setSurface(9);
        s->player().setStarter([&](const QString& c) {
            started << c;
            return qint64(500);
        });
        s->player().play(parseClipTime("0:01:05"));
        s->player().firstFrame();
        s->player().lastFrames();
        const QString tail = " -priority   abovenormal   -framedrop   -colorkey  0  "
                             "-nokeepaspect   -framedrop   -autosync   100";
        const QString a = tail + "   -vo gl2   -vf   screenshot \"/v/holiday.avi\"";
        const QString b = tail + "    -vo gl2  -vf   screenshot \"/v/holiday.avi\"";
        const QString head = "\"/opt/clipvane/mp.dll\"";
        QCOMPARE(started, (QStringList{head + " -wid  9" + a, head + " -wid  9" + b,
                                       head + " -ss 62 -wid  9" + a}));
        QCOMPARE(state.selectedSourcePath, QString("/v/preview.avi")); // the preview's own
        // Leaving the dialog tells the player to quit, once.
        keys.sent.clear();
        s->unload();
        s->unload();
        QCOMPARE(keys.sent, QStringList{"mp.dll:500:quit"});
        QVERIFY(!s->player().clockRunning());
    }
};

QTEST_GUILESS_MAIN(TestClip)
#include "tst_clip.moc"
