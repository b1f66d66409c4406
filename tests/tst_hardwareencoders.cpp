#include "convert/encodercommand.h"
#include "convert/hardwareencoders.h"
#include "options/optionsheet.h"
#include "options/profiles.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

using namespace clipvane;

Q_DECLARE_METATYPE(QList<HardwareEncoder>)

// Which hardware encoders are offered, found by trial encodes (run here by a stand-in FFmpeg
// that passes or fails each as a machine would), and the command lines they are given.
class TestHardwareEncoders : public QObject {
    Q_OBJECT

    QTemporaryDir dir;

    // A stand-in for FFmpeg: passes the encoders named, hangs on "hang", fails the rest.
    QString fakeEncoder(const QString& passes, const QString& hangs = "none") {
        const QString path = dir.filePath("ffmpeg-" + QString::number(qHash(passes + hangs)));
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly))
            return {};
        f.write(QString("#!/bin/sh\ncase \"$*\" in\n*%2*) exec sleep 600;;\n%1) exit 0;;\nesac\n"
                        "echo 'Device creation failed' >&2\nexit 1\n")
                    .arg(passes, hangs)
                    .toUtf8());
        f.close();
        f.setPermissions(f.permissions() | QFile::ExeOwner);
        return path;
    }

private slots:
    void initTestCase() { qRegisterMetaType<QList<HardwareEncoder>>(); }

    // Only what the trials pass is offered; a machine without the devices starts no trial;
    // a trial that hangs fails when its time is up.
    void trialsDecide_data() {
        QTest::addColumn<QStringList>("nodes");
        QTest::addColumn<bool>("nvidia");
        QTest::addColumn<QString>("passes"); // a shell pattern of the trial's arguments
        QTest::addColumn<QString>("hangs");
        QTest::addColumn<QStringList>("offered");
        QTest::newRow("no devices") << QStringList() << false << "*"
                                    << "none" << QStringList();
        QTest::newRow("Intel: VAAPI both, Quick Sync not set up")
            << QStringList{"/dev/dri/renderD128"} << false << "*_vaapi*"
            << "none"
            << QStringList{"VAAPI H.264 /dev/dri/renderD128", "VAAPI H.265 /dev/dri/renderD128"};
        QTest::newRow("NVIDIA, an old card without H.265")
            << QStringList() << true << "*h264_nvenc*"
            << "none" << QStringList{"NVENC H.264 "};
        QTest::newRow("a listed device that cannot encode")
            << QStringList{"/dev/dri/renderD128"} << true << "none"
            << "none" << QStringList();
        QTest::newRow("a hanging driver")
            << QStringList{"/dev/dri/renderD128"} << false << "*hevc_qsv*"
            << "h264_vaapi" << QStringList{"Quick Sync H.265 "};
    }
    void trialsDecide() {
        QFETCH(QStringList, nodes);
        QFETCH(bool, nvidia);
        QFETCH(QString, passes);
        QFETCH(QString, hangs);
        QFETCH(QStringList, offered);
        qputenv("CLIPVANE_FFMPEG", fakeEncoder(passes, hangs).toUtf8());
        HardwareSearch search;
        search.setTrialLimitMs(1000);
        QSignalSpy done(&search, &HardwareSearch::finished);
        search.start({nodes, nvidia});
        QVERIFY(done.wait(30000));
        QStringList found;
        for (const HardwareEncoder& e : done.first().first().value<QList<HardwareEncoder>>())
            found << hardwareKindName(e.kind) + ' ' + e.codec + ' ' + e.device;
        QCOMPARE(found, offered);
        qunsetenv("CLIPVANE_FFMPEG");
    }

    // Each kind's encoder, its device, its upload and its rate or quality.
    void commandLines_data() {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("codec");
        QTest::addColumn<double>("kbits"); // 0: none
        QTest::addColumn<int>("quality");  // -1: the profile's own
        QTest::addColumn<QString>("expected");
        const int vaapi = int(HardwareKind::Vaapi), qsv = int(HardwareKind::QuickSync),
                  nvenc = int(HardwareKind::Nvenc);
        QTest::newRow("VAAPI, Auto")
            << vaapi << "H.264" << 0.0 << -1
            << "-vaapi_device /dev/dri/renderD128 | format=nv12,hwupload | -c:v h264_vaapi -qp 23";
        QTest::newRow("VAAPI H.265, 2000 kbit/s")
            << vaapi << "H.265" << 2000.0 << -1
            << "-vaapi_device /dev/dri/renderD128 | format=nv12,hwupload | -c:v hevc_vaapi -b:v "
               "2000k -tag:v hvc1";
        QTest::newRow("Quick Sync, quality 20")
            << qsv << "H.264" << 0.0 << 20
            << " |  | -c:v h264_qsv -pix_fmt nv12 -global_quality 20 -preset medium";
        QTest::newRow("NVENC, Auto")
            << nvenc << "H.264" << 0.0 << -1
            << " |  | -c:v h264_nvenc -pix_fmt yuv420p -rc vbr -cq 23 -b:v 0 -preset p4";
        QTest::newRow("NVENC H.265, 768 kbit/s")
            << nvenc << "H.265" << 768.0 << -1
            << " |  | -c:v hevc_nvenc -pix_fmt yuv420p -b:v 768k -preset p4 -tag:v hvc1";
    }
    void commandLines() {
        QFETCH(int, kind);
        QFETCH(QString, codec);
        QFETCH(double, kbits);
        QFETCH(int, quality);
        QFETCH(QString, expected);
        const HardwareArguments a = hardwareArguments(
            {HardwareKind(kind), codec,
             HardwareKind(kind) == HardwareKind::Vaapi ? "/dev/dri/renderD128" : ""},
            kbits > 0 ? std::optional<double>(kbits) : std::nullopt,
            quality >= 0 ? std::optional<int>(quality) : std::nullopt, 1);
        QCOMPARE(a.beforeInput.join(' ') + " | " + a.filterTail + " | " + a.encoder.join(' '),
                 expected);
    }

    // The Encoder row reaches the command: the device before the input, the upload after the
    // size, the encoder in software's place; an encoder this computer lacks (a preset from
    // another) gives way to software, with a note. The Flash command never changes.
    void theRowReachesTheCommand_data() {
        QTest::addColumn<int>("profile");
        QTest::addColumn<bool>("found");
        QTest::addColumn<QStringList>("contains");
        QTest::addColumn<QString>("note");
        QTest::newRow("found") << 5 << true
                               << QStringList{"-vaapi_device /dev/dri/renderD128 -ss ",
                                              "trunc(ih/2)*2,format=nv12,hwupload",
                                              "-c:v h264_vaapi"}
                               << "";
        QTest::newRow("not on this computer")
            << 5 << false << QStringList{"-c:v libx264 -pix_fmt yuv420p -crf 23"}
            << "VAAPI is not available on this computer: converted in software.";
        QTest::newRow("Flash") << 2 << true << QStringList{"-s 320x240 -acodec libmp3lame -y"}
                               << "";
    }
    void theRowReachesTheCommand() {
        QFETCH(int, profile);
        QFETCH(bool, found);
        QFETCH(QStringList, contains);
        QFETCH(QString, note);
        const auto restore = qScopeGuard([] {
            setUsableHardware({});
            setHardwareEncoders({});
        });
        setHardwareEncoders({{"H.264", {"VAAPI"}}});
        if (found)
            setUsableHardware({{HardwareKind::Vaapi, "H.264", "/dev/dri/renderD128"}});
        OptionSheet sheet;
        fillOptionSheet(sheet);
        applyProfilePick(sheet, profile);
        sheet.setValue(opt::Video, opt::Encoder, "VAAPI");
        EncoderInputs in;
        in.programFolder = "/opt/conv";
        in.inputPath = "/clips/a.avi";
        in.clipStart = 0;
        in.clipEnd = 500;
        in.profile = profileAt(profile);
        in.options = std::get<EncoderOptions>(readEncoderOptions(sheet));
        in.outputFolder = "/out";
        const auto built = buildEncoderCommand(in, [](const QString&) { return false; });
        const auto* command = std::get_if<EncoderCommand>(&built);
        QVERIFY(command);
        for (const QString& part : contains)
            QVERIFY2(command->command.text().contains(part), qPrintable(command->command.text()));
        QCOMPARE(command->notes.join('\n'), note);
        QCOMPARE(command->command.text().contains("vaapi"), found && profile == 5);
        QCOMPARE(command->usesHardware, found && profile == 5);
    }
};

QTEST_GUILESS_MAIN(TestHardwareEncoders)
#include "tst_hardwareencoders.moc"
