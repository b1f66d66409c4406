#include "convert/encodercommand.h"
#include "convert/outputsize.h"
#include "convert/plannedoutput.h"
#include "convert/queuefile.h"
#include "convert/sizeestimator.h"
#include "options/optionsheet.h"
#include "options/profiles.h"

#include <QtTest>

using namespace clipvane;

// The output's size before converting: a Target Size made a rate, the estimates from rates,
// the sample windows and what their packet lists add up to, and the check of the room left.
class TestOutputSize : public QObject {
    Q_OBJECT

    // A 60 s row of a file with one stereo track, converted with the profile as picked and
    // rows changed ("Row=value;..." of Video Options).
    static EncoderInputs inputs(int profile, const QString& changes, qint64 length = 6000) {
        OptionSheet sheet;
        fillOptionSheet(sheet);
        applyProfilePick(sheet, profile);
        for (const QString& c : changes.split(';', Qt::SkipEmptyParts))
            sheet.setValue(opt::Video, c.section('=', 0, 0), c.section('=', 1));
        EncoderInputs in;
        in.programFolder = "/prog";
        in.inputPath = "/v/a.mkv";
        in.clipStart = 0;
        in.clipEnd = length;
        in.profile = profileAt(profile);
        in.outputFolder = "/out";
        in.streams.listed = true;
        in.streams.hasVideo = true;
        in.streams.audio = {AudioTrack{1, "aac", 2, "stereo", "eng", {}, true}};
        const auto options = readEncoderOptions(sheet);
        if (const auto* o = std::get_if<EncoderOptions>(&options))
            in.options = *o;
        return in;
    }

private slots:
    void targetSizeBecomesARate_data() {
        QTest::addColumn<QString>("changes");
        QTest::addColumn<qint64>("length");
        QTest::addColumn<int>("audioTracks");
        QTest::addColumn<double>("videoKbits"); // 0: refused
        QTest::addColumn<QString>("smallest");
        // 5 MB over 60 s is 40,000 kbit; 98 % of it less 60 s of 128 kbit/s sound.
        QTest::newRow("5 MB, 60 s")
            << "Video Bitrate=Target Size;Target Size (MB)=5" << qint64(6000) << 1 << 525.0 << "";
        QTest::newRow("two sound tracks take twice the sound")
            << "Video Bitrate=Target Size;Target Size (MB)=5" << qint64(6000) << 2 << 397.0 << "";
        QTest::newRow("a fraction of a MB")
            << "Video Bitrate=Target Size;Target Size (MB)=2.5" << qint64(3000) << 1 << 525.0 << "";
        // 1 MB over 10 min leaves nothing; 100 kbit/s of video and 128 of sound need 17.5 MB.
        QTest::newRow("too small") << "Video Bitrate=Target Size;Target Size (MB)=1"
                                   << qint64(60000) << 1 << 0.0 << "17.5 MB";
    }
    void targetSizeBecomesARate() {
        QFETCH(QString, changes);
        QFETCH(qint64, length);
        QFETCH(int, audioTracks);
        QFETCH(double, videoKbits);
        QFETCH(QString, smallest);
        EncoderInputs in = inputs(5, changes, length);
        QVERIFY(in.options.targetBytes);
        while (in.streams.audio.size() < audioTracks)
            in.streams.audio.append(AudioTrack{2, "ac3", 6, "5.1", "ger", {}, false});
        const std::optional<QString> refused = resolveTargetSize(in);
        if (videoKbits == 0) {
            QVERIFY(refused);
            QVERIFY2(refused->contains(smallest), qPrintable(*refused));
            QVERIFY(!in.options.videoKbits);
            return;
        }
        QVERIFY2(!refused, qPrintable(refused.value_or(QString())));
        QCOMPARE(in.options.videoKbits.value_or(0), videoKbits);
        QVERIFY(in.options.picture.twoPass);
        // The whole command is then a two-pass encode at that rate.
        in.passLogFolder = "/tmp/pass";
        const auto built = buildEncoderCommand(in, [](const QString&) { return false; });
        const auto* command = std::get_if<EncoderCommand>(&built);
        QVERIFY(command && command->firstPass);
        QVERIFY(command->command.arguments().join(' ').contains(
            QString("-b:v %1k").arg(qint64(videoKbits))));
    }

    void ratesGiveTheEstimateAtOnce_data() {
        QTest::addColumn<int>("profile");
        QTest::addColumn<QString>("changes");
        QTest::addColumn<qint64>("bytes"); // -1: samples must tell
        QTest::addColumn<int>("basis");
        // (1000 + 128) kbit/s over 60 s, and 1 % for the container.
        QTest::newRow("fixed rate")
            << 5 << "Video Bitrate=1000" << qint64(8544600) << int(SizeEstimate::Basis::Rates);
        QTest::newRow("target") << 5 << "Video Bitrate=Target Size;Target Size (MB)=8"
                                << qint64(8000000) << int(SizeEstimate::Basis::Target);
        QTest::newRow("constant quality") << 5 << "" << qint64(-1) << 0;
        QTest::newRow("quality row") << 7 << "Quality=40" << qint64(-1) << 0;
        // MP3 at 192 kbit/s: sound only, a rate.
        QTest::newRow("sound only")
            << 11 << "" << qint64(1454400) << int(SizeEstimate::Basis::Rates);
    }
    void ratesGiveTheEstimateAtOnce() {
        QFETCH(int, profile);
        QFETCH(QString, changes);
        QFETCH(qint64, bytes);
        QFETCH(int, basis);
        const std::optional<SizeEstimate> estimate = rateEstimate(inputs(profile, changes));
        if (bytes < 0) {
            QVERIFY(!estimate);
            return;
        }
        QVERIFY(estimate);
        QCOMPARE(estimate->bytes, bytes);
        QCOMPARE(int(estimate->basis), basis);
    }

    // Samples may beat the rate cap; the whole clip cannot, so no estimate goes past it.
    void capBoundsAConstantQuality() {
        // H.264 at an unknown size takes the 1080-line cap, 10000 kbit/s, beside the sound.
        QCOMPARE(cappedBytes(inputs(5, "")), std::optional<qint64>(76719600));
        QCOMPARE(cappedBytes(inputs(5, "Video Size=1280x720")), std::optional<qint64>(46419600));
        QVERIFY(!cappedBytes(inputs(5, "Video Bitrate=1000")));
        QVERIFY(!cappedBytes(inputs(11, "")));
    }

    void samplesSpreadOverTheClip_data() {
        QTest::addColumn<qint64>("start");
        QTest::addColumn<qint64>("end");
        QTest::addColumn<int>("windows");
        QTest::addColumn<qint64>("counted"); // each window's, in hundredths
        QTest::newRow("short clip: the whole of it")
            << qint64(500) << qint64(1500) << 1 << qint64(1000);
        QTest::newRow("a minute: 1.2 s thrice") << qint64(0) << qint64(6000) << 3 << qint64(120);
        QTest::newRow("a trimmed half hour") << qint64(9000) << qint64(189000) << 3 << qint64(400);
    }
    void samplesSpreadOverTheClip() {
        QFETCH(qint64, start);
        QFETCH(qint64, end);
        QFETCH(int, windows);
        QFETCH(qint64, counted);
        const QList<SampleWindow> found = sampleWindows(start, end);
        QCOMPARE(found.size(), windows);
        qint64 last = -1;
        for (const SampleWindow& w : found) {
            QCOMPARE(w.counted, counted);
            QVERIFY(w.start >= start && w.start + w.leadIn + w.counted <= end);
            QVERIFY(w.start > last); // apart, in order
            last = w.start + w.leadIn + w.counted;
        }
        // Together they cost at most a tenth of the clip (a short one is encoded whole).
        if (windows > 1)
            QVERIFY(3 * (found.first().leadIn + counted) * 10 <= end - start);
    }

    void packetListsAddUp() {
        // Video at 1/25 (a large key picture first), sound at 1/48000; 0.3 s lead-in, 1 s
        // counted.
        QByteArray listing = "#software: Lavf59\n#tb 0: 1/25\n#media_type 0: video\n"
                             "#tb 1: 1/48000\n#media_type 1: audio\n"
                             "#stream#, dts, pts, duration, size, hash\n";
        listing += "0, -2, 0, 1, 50000, 0x1\n";
        for (int frame = 1; frame < 40; ++frame)
            listing += QString("0, %1, %1, 1, 1000, 0xa\n").arg(frame).toLatin1();
        for (int packet = 0; packet < 60; ++packet)
            listing += QString("1, %1, %1, 1024, 300, 0xb\n").arg(packet * 1024).toLatin1();
        listing += "garbage line\n2, 0, 0, 1, 99, 0xc\n"; // no time base: not counted
        const std::optional<SampleBytes> sample = parseFrameListing(listing, 0.3, 1.0);
        QVERIFY(sample);
        QCOMPARE(sample->keyBytes, qint64(50000));
        // Frames 8 to 32 (25 of them) and sound packets 15 to 59 (45).
        QCOMPARE(sample->bytes, qint64(25 * 1000 + 45 * 300));
        QCOMPARE(sample->packets, qint64(25 + 45));
        // Without a lead-in the key picture is counted with the rest, not added again.
        QCOMPARE(parseFrameListing(listing, 0, 1.0)->keyBytes, qint64(0));
        QVERIFY(!parseFrameListing("#tb 0: 1/25\nnot a listing\n", 0.3, 1.0));

        // Three seconds of samples over a 60 s clip: 20 times their bytes, a key picture
        // every 10 s, 10 bytes a packet.
        const SampleBytes s{10000, 50, 4000, 1.0};
        QCOMPARE(sampledEstimate({s, s, s}, 60), qint64(600000 + 24000 + 30000));
        QCOMPARE(sampledEstimate({}, 60), qint64(0));
    }

    void shortfallNamesWhatIsMissing() {
        SourceList list;
        for (const char* name : {"/v/a.mkv", "/v/b.mkv", "/v/c.mkv"})
            list.append(name);
        list.setEstimate(list.idAt(0), SizeEstimate{600000000, SizeEstimate::Basis::Rates});
        list.setEstimate(list.idAt(1), SizeEstimate{500000000, SizeEstimate::Basis::Samples});
        RunSettings settings;
        settings.outputFolder = QDir::tempPath() + "/clipvane-no-such/folder";
        const auto free = [](qint64 bytes) { return [bytes](const QString&) { return bytes; }; };
        QVERIFY(!spaceShortfall(list, settings, free(2000000000)));
        const std::optional<QString> said = spaceShortfall(list, settings, free(800000000));
        QVERIFY(said);
        QVERIFY2(said->contains("1.10 GB") && said->contains("800 MB") &&
                     said->contains("300 MB short"),
                 qPrintable(*said));
        // Unknown free space says nothing.
        QVERIFY(!spaceShortfall(list, settings, free(-1)));
    }

    void estimatesOutliveTheWindow() {
        SourceList list;
        const SourceList::Id id = list.append("/v/a.mkv");
        const SizeEstimate estimate{41300000, SizeEstimate::Basis::Samples};
        list.setEstimate(id, estimate);
        QCOMPARE(list.text(id, SourceList::Estimate), QString("\u2248 41 MB"));
        const QJsonObject record = rowRecord(list, id);
        QCOMPARE(itemFromRecord(record, nullptr).estimate, std::optional(estimate));
        // A doctored basis or size is dropped, not guessed.
        QJsonObject bad = record;
        bad["estimate"] = QJsonObject{{"bytes", 5}, {"basis", "guess"}};
        QVERIFY(!itemFromRecord(bad, nullptr).estimate);
        bad["estimate"] = QJsonObject{{"bytes", -5}, {"basis", "rates"}};
        QVERIFY(!itemFromRecord(bad, nullptr).estimate);
    }

    // While a run converts, its changes to the rows are not looked at; the rows are once it
    // is over.
    void rowsWaitForTheRun() {
        SourceList list;
        list.append("/v/a.mkv");
        int looked = 0;
        SizeEstimator estimator(&list, [&looked](SourceList::Id) -> std::optional<EncoderInputs> {
            ++looked;
            return std::nullopt;
        });
        estimator.setSuspended(true);
        estimator.refresh();
        QCOMPARE(looked, 0);
        estimator.setSuspended(false);
        QTRY_COMPARE(looked, 1);
        QVERIFY(estimator.isIdle());
    }

    void samplesKeepTheRowsOptions() {
        EncoderInputs in = inputs(7, "Quality=40");
        const SampleWindow window{3000, 30, 120};
        const std::optional<QStringList> args = sampleArguments(in, window, "/tmp/s.crc");
        QVERIFY(args);
        const QString text = args->join(' ');
        // The stretch asked for, the row's quality, packets listed instead of a file.
        QVERIFY2(text.contains("-ss 30 -i /v/a.mkv") && text.contains("-t 1.5 ") &&
                     text.contains("-crf 40") && text.contains("-f framecrc -y /tmp/s.crc") &&
                     !text.contains("-f webm"),
                 qPrintable(text));
        // The key changes with what changes the output, not with where it goes.
        EncoderInputs elsewhere = in;
        elsewhere.outputFolder = "/elsewhere";
        QCOMPARE(estimateKey(elsewhere), estimateKey(in));
        QVERIFY(estimateKey(inputs(7, "Quality=30")) != estimateKey(in));
    }
};

QTEST_GUILESS_MAIN(TestOutputSize)
#include "tst_outputsize.moc"
