// Converts clips through the batch run and compares it with the best schedule for the same
// work: the same encoder commands run directly, one after another and two at a time, plus the
// last item's check, which nothing can hide; and with the encoder and check commands run
// directly in the overlapped schedule (each check beside the next encodes, taking no encoder
// slot), with the checks' share of that CPU. Reports Clipvane's own CPU and the worst
// event-loop stall during each batch, and the CPU seconds of the probe and the batch against
// the same identify, picture look and encoder command lines run directly.
//
//   bench_convert [--rounds N] [--mp4]
//
// --rounds 5 prints each figure's median and spread over five rounds; --mp4 adds four 10 s
// clips converted with the MP4 H.264 profile.
#include "base/apppaths.h"
#include "base/desktopservices.h"
#include "base/messageboxes.h"
#include "bench/benchsupport.h"
#include "convert/batchrun.h"
#include "convert/encodercommand.h"
#include "convert/outputcheck.h"
#include "convert/plannedoutput.h"
#include "options/optionsheet.h"
#include "options/profiles.h"
#include "process/childtools.h"
#include "process/commandline.h"
#include "process/toolpaths.h"
#include "settings/settingsfile.h"
#include "sources/mediaprobe.h"
#include "sources/picturelook.h"
#include "sources/probeparse.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTemporaryDir>

using namespace clipvane;

namespace {
struct Scenario {
    const char* title;
    int profile; // 1-based entry of the picker
    int clips;
    int seconds;
    const char* source;  // the clips' test picture
    const char* picture; // its size
    QStringList quality; // the clips' video quality arguments
};

// What one batch size's rounds measured.
struct Figures {
    bench::Figure batchMs, bestMs, overlappedMs, checkShare, ownCpuShare, loopCpuShare, stallMs;
    bench::Figure toBest, toOverlapped;
    bench::Figure cpuToDirect; // the batch's CPU seconds (program and children) / the encodes'
    // The probe's and the batch's CPU seconds / those of the identify, the look at the
    // picture and the encodes run directly; and / the identify and the encodes only.
    bench::Figure withProbe, withProbeNoLook;

    int ok = 0;
};

int runScenario(const Scenario& s, int rounds) {
    bench::Workspace space("1");
    SourceList list;
    OptionSheet sheet;
    fillOptionSheet(sheet);
    applyProfilePick(sheet, s.profile);
    QStringList paths;
    for (int i = 0; i < s.clips; ++i) {
        const QString path = space.dir.filePath(QStringLiteral("clip%1.avi").arg(i));
        const QString picture = QStringLiteral("%1=size=%2:rate=25").arg(s.source, s.picture);
        const QStringList input{"-f", "lavfi",
                                "-i", picture,
                                "-f", "lavfi",
                                "-i", "sine=frequency=440",
                                "-t", QString::number(s.seconds)};
        if (!bench::ffmpeg(input + QStringList{"-c:v", "mpeg4"} + s.quality +
                           QStringList{"-c:a", "libmp3lame", path}))
            return 1;
        paths << path;
    }
    // The probe's CPU (the program and its tools) against the player's identify and the look
    // at the picture run directly: the same command lines, two at a time.
    const double probeOwnBefore = bench::ownCpuSeconds();
    const double probeChildrenBefore = bench::childrenCpuSeconds();
    bench::addAndProbe(list, paths, probeParallelism());
    const double probeCpu =
        bench::ownCpuSeconds() - probeOwnBefore + bench::childrenCpuSeconds() - probeChildrenBefore;
    QList<QStringList> identifies;
    QList<QStringList> looks;
    for (int r = 0; r < list.count(); ++r) {
        const QString path = list.textAt(r, SourceList::FileName);
        identifies << splitCommandLine(identifyCommandLine(programFolderWithSlash(), path));
        looks << splitCommandLine(pictureLookCommandLine(ffmpegProgram(), path, s.seconds));
    }
    const double identifyCpu = bench::runSchedule(identifies, {}, 2).encodeCpu;
    const double lookCpu = bench::runSchedule(looks, {}, 2).encodeCpu;

    // The commands the batch would start, and the check of each output.
    QList<QStringList> encodes;
    QList<QStringList> checks;
    const auto options = readEncoderOptions(sheet);
    for (int r = 0; r < list.count(); ++r) {
        RunSettings settings;
        settings.outputFolder = space.out.path();
        settings.overwrite = true;
        EncoderInputs in = rowInputs(list, list.idAt(r), profileAt(s.profile), settings);
        in.options = std::get<EncoderOptions>(options);
        const auto built = buildEncoderCommand(in);
        const EncoderCommand* command = std::get_if<EncoderCommand>(&built);
        if (!command) {
            std::fprintf(stderr, "no command: %s\n",
                         qPrintable(std::get<EncoderCommandError>(built).reason));
            return 1;
        }
        encodes << command->command.arguments();
        const QString written =
            command->encodePath.isEmpty() ? command->outputPath : command->encodePath;
        checks << QStringList{ffprobeProgram()} +
                      proberArguments(written, true, command->clipSeconds);
    }

    BatchRun run(
        BatchRun::Environment{&list, &sheet, [&s] { return s.profile; }, &ChildTools::instance()});
    Figures figures[3];
    bench::Figure twoToOne;
    for (int round = 0; round < rounds; ++round) {
        double batchMs[3] = {0, 0, 0};
        for (int parallel : {1, 2}) {
            Figures& f = figures[parallel];
            // The best schedule: the encodes back to back (or two at a time), then the last
            // item's check.
            const bench::ScheduleTimes direct = bench::runSchedule(encodes, {}, parallel);
            const double encodesMs = direct.wallMs;
            const double lastCheckMs = bench::runSchedule({checks.last()}, {}, 1).wallMs;
            f.bestMs.add(encodesMs + lastCheckMs);
            const bench::ScheduleTimes overlapped = bench::runSchedule(encodes, checks, parallel);
            f.overlappedMs.add(overlapped.wallMs);
            f.checkShare.add(100.0 * overlapped.checkCpu /
                             std::max(1e-9, overlapped.checkCpu + overlapped.encodeCpu));

            RunSettings settings = RunSettings::read(Preferences());
            settings.parallel = parallel;
            // The quality score is bench_quality's; here its comparisons would count as the
            // batch's CPU and go on into the next direct schedule.
            settings.scoreQuality = false;
            bench::LoopLatency latency;
            latency.start();
            const double cpuBefore = bench::ownCpuSeconds();
            const double loopCpuBefore = bench::threadCpuSeconds();
            const double childrenBefore = bench::childrenCpuSeconds();
            QElapsedTimer clock;
            clock.start();
            QEventLoop untilDone;
            QObject::connect(&run, &BatchRun::runFinished, &untilDone, &QEventLoop::quit);
            run.start(settings);
            if (run.isRunning())
                untilDone.exec();
            const double ms = static_cast<double>(clock.elapsed());
            batchMs[parallel] = ms;
            f.batchMs.add(ms);
            f.ownCpuShare.add(100.0 * (bench::ownCpuSeconds() - cpuBefore) / (ms / 1000.0));
            f.loopCpuShare.add(100.0 * (bench::threadCpuSeconds() - loopCpuBefore) / (ms / 1000.0));
            const double batchCpu =
                bench::ownCpuSeconds() - cpuBefore + bench::childrenCpuSeconds() - childrenBefore;
            f.cpuToDirect.add(batchCpu / std::max(1e-9, direct.encodeCpu));
            f.withProbe.add((probeCpu + batchCpu) /
                            std::max(1e-9, identifyCpu + lookCpu + direct.encodeCpu));
            f.withProbeNoLook.add((probeCpu + batchCpu) /
                                  std::max(1e-9, identifyCpu + direct.encodeCpu));
            f.stallMs.add(static_cast<double>(latency.worstLatenessMs()));
            f.toBest.add(ms / (encodesMs + lastCheckMs));
            f.toOverlapped.add(ms / overlapped.wallMs);
            for (int r = 0; r < list.count(); ++r)
                f.ok += list.textAt(r, SourceList::Status) == "OK";
        }
        twoToOne.add(batchMs[2] / batchMs[1]);
        std::fprintf(stderr, "  %s, round %d of %d done\n", s.title, round + 1, rounds);
    }

    std::printf("%s: %d clips of %d s, %s -> %s; %d round(s), median (spread)\n", s.title, s.clips,
                s.seconds, s.picture, qPrintable(profileCatalogue().at(s.profile - 1).caption),
                rounds);
    for (int parallel : {1, 2}) {
        const Figures& f = figures[parallel];
        std::printf("  %d at a time (%d of %d OK)\n", parallel, f.ok, s.clips * rounds);
        std::printf("    batch run                                 : %s ms\n",
                    qPrintable(f.batchMs.text(0)));
        std::printf("    direct encodes + the last check           : %s ms\n",
                    qPrintable(f.bestMs.text(0)));
        std::printf("    direct encodes and checks, overlapped     : %s ms\n",
                    qPrintable(f.overlappedMs.text(0)));
        std::printf("    ratio batch / encodes + last check        : %s\n",
                    qPrintable(f.toBest.text(3)));
        std::printf("    ratio batch / overlapped encodes + checks : %s\n",
                    qPrintable(f.toOverlapped.text(3)));
        std::printf("    checks' share of the direct CPU           : %s %%\n",
                    qPrintable(f.checkShare.text(1)));
        std::printf("    Clipvane's own CPU during the batch       : %s %% of a core\n"
                    "      (every thread, the output checks' reading included)\n",
                    qPrintable(f.ownCpuShare.text(2)));
        std::printf("      of which the event loop's thread        : %s %% of a core\n",
                    qPrintable(f.loopCpuShare.text(2)));
        std::printf("    CPU seconds, batch / the encodes direct   : %s (goal <= 1.10)\n",
                    qPrintable(f.cpuToDirect.text(3)));
        std::printf("    CPU seconds, probe + batch / identify,    : %s\n"
                    "      picture look and encodes direct\n",
                    qPrintable(f.withProbe.text(3)));
        std::printf("    CPU seconds, probe + batch / identify     : %s (goal <= 1.10)\n"
                    "      and encodes direct\n",
                    qPrintable(f.withProbeNoLook.text(3)));
        std::printf("    worst event-loop stall (10 ms timer)      : %s ms\n",
                    qPrintable(f.stallMs.text(0)));
    }
    std::printf("  ratio batch two at once / one at a time     : %s\n",
                qPrintable(twoToOne.text(3)));
    std::fflush(stdout);
    return figures[1].ok + figures[2].ok == 2 * s.clips * rounds ? 0 : 1;
}
} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int rounds = bench::roundsAsked(args);
    std::printf("conversion benchmark (goals: batch / direct encodes + last check <= 1.03 one "
                "at a time and two at once; own CPU < 1 %% of a core; stall < 16 ms)\n");
    int failed = 0;
    failed |= runScenario({"10 s clips", 2, 6, 10, "testsrc", "640x480", {}}, rounds);
    failed |= runScenario({"1 s clips", 2, 30, 1, "testsrc", "640x480", {}}, rounds);
    if (args.contains(QStringLiteral("--mp4")))
        failed |=
            runScenario({"MP4 H.264", 5, 4, 10, "testsrc2", "640x360", {"-q:v", "3"}}, rounds);
    return failed;
}
