// Converts 6 clips of about 10 s through the batch run and compares the wall time with
// running the same 6 encoder commands directly; reports Clipvane's own CPU time. Then the same
// comparison for the MP4 H.264 profile, five times over.
#include "base/desktopservices.h"
#include "base/messageboxes.h"
#include "bench/benchsupport.h"
#include "convert/batchrun.h"
#include "convert/encodercommand.h"
#include "options/optionsheet.h"
#include "options/profiles.h"
#include "process/childtools.h"
#include "process/commandline.h"
#include "settings/settingsfile.h"
#include "sources/mediaprobe.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTemporaryDir>
#include <algorithm>
#include <vector>

using namespace clipvane;

namespace {
// The batch run and the encoder commands it would start, run directly, alternately `rounds`
// times over clips of the given profile; prints the median ratio and its spread.
int compareWithDirect(int profile, int clips, int rounds) {
    bench::Workspace space("1");
    SourceList list;
    OptionSheet sheet;
    fillOptionSheet(sheet);
    applyProfilePick(sheet, profile);
    for (int i = 0; i < clips; ++i) {
        const QString path = space.dir.filePath(QStringLiteral("wide%1.avi").arg(i));
        if (!bench::ffmpeg({"-f", "lavfi", "-i", "testsrc2=size=640x360:rate=25", "-f", "lavfi",
                            "-i", "sine=frequency=440", "-t", "10", "-c:v", "mpeg4", "-q:v", "3",
                            "-c:a", "libmp3lame", path}))
            return 1;
        appendAndProbe(list, path);
    }
    QList<QStringList> commands;
    for (int r = 0; r < list.count(); ++r) {
        EncoderInputs in;
        in.programFolder = programFolder();
        in.inputPath = list.textAt(r, SourceList::FileName);
        in.clipStart = list.textAt(r, SourceList::Start);
        in.clipEnd = list.textAt(r, SourceList::End);
        in.profileCaption = profileCatalogue().at(profile - 1).caption;
        readEncoderOptions(sheet, in);
        in.outputFolder = space.out.path();
        in.overwrite = true;
        commands << splitCommandLine(std::get<EncoderCommand>(buildEncoderCommand(in)).commandLine);
    }
    bench::Quiet quiet;
    BatchRun run(BatchRun::Environment{&list, &sheet, [profile] { return profile; },
                                       &ChildTools::instance(), &quiet, &quiet});
    writeSetting(settingsFilePath(), "set", "parallel", QStringLiteral("1"));
    std::vector<double> ratios;
    double batchTotal = 0;
    double directTotal = 0;
    int ok = 0;
    for (int round = 0; round < rounds; ++round) {
        QElapsedTimer direct;
        direct.start();
        for (const QStringList& c : commands)
            bench::runDirect(c);
        const double directMs = direct.elapsed();
        QElapsedTimer batch;
        batch.start();
        QEventLoop untilDone;
        QObject::connect(&run, &BatchRun::runFinished, &untilDone, &QEventLoop::quit);
        run.start();
        if (run.isRunning())
            untilDone.exec();
        const double batchMs = batch.elapsed();
        for (int r = 0; r < list.count(); ++r)
            ok += list.textAt(r, SourceList::Status) == "OK";
        ratios.push_back(batchMs / directMs);
        batchTotal += batchMs;
        directTotal += directMs;
        std::printf("  round %d: batch %6.0f ms, direct %6.0f ms, ratio %.3f\n", round + 1, batchMs,
                    directMs, batchMs / directMs);
    }
    std::sort(ratios.begin(), ratios.end());
    std::printf("%s: %d clips of 10 s, 640x360, as picked; %d rounds (%d of %d OK)\n",
                qPrintable(profileCatalogue().at(profile - 1).caption), clips, rounds, ok,
                clips * rounds);
    std::printf("  mean batch %.0f ms, mean direct %.0f ms\n", batchTotal / rounds,
                directTotal / rounds);
    std::printf("  ratio batch / direct: median %.3f, spread %.3f to %.3f (goal <= 1.03)\n",
                ratios[ratios.size() / 2], ratios.front(), ratios.back());
    return 0;
}
} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    bench::Workspace space("1");
    QTemporaryDir& dir = space.dir;
    QTemporaryDir& out = space.out;

    SourceList list;
    OptionSheet sheet;
    fillOptionSheet(sheet);
    applyProfilePick(sheet, 2);
    for (int i = 0; i < 6; ++i) {
        const QString path = dir.filePath(QStringLiteral("movie%1.avi").arg(i));
        if (!bench::ffmpeg({"-f", "lavfi", "-i", "testsrc=size=640x480:rate=25", "-f", "lavfi",
                            "-i", "sine=frequency=440", "-t", "10", "-c:v", "mpeg4", "-c:a",
                            "libmp3lame", path}))
            return 1;
        appendAndProbe(list, path);
    }

    // The same command lines, run directly one after another.
    QList<QStringList> commands;
    for (int r = 0; r < list.count(); ++r) {
        EncoderInputs in;
        in.programFolder = programFolder();
        in.inputPath = list.textAt(r, SourceList::FileName);
        in.clipStart = list.textAt(r, SourceList::Start);
        in.clipEnd = list.textAt(r, SourceList::End);
        in.profileCaption = profileCatalogue().at(1).caption;
        readEncoderOptions(sheet, in);
        in.outputFolder = out.path();
        in.overwrite = true;
        commands << splitCommandLine(std::get<EncoderCommand>(buildEncoderCommand(in)).commandLine);
    }
    QElapsedTimer direct;
    direct.start();
    for (const QStringList& c : commands)
        bench::runDirect(c);
    const double directMs = direct.elapsed();

    bench::Quiet quiet;
    BatchRun run(BatchRun::Environment{&list, &sheet, [] { return 2; }, &ChildTools::instance(),
                                       &quiet, &quiet});
    bench::LoopLatency latency;
    latency.start();
    // The same batch one file at a time, then two at once.
    double batchMs[3] = {0, 0, 0};
    double cpu = 0;
    int ok[3] = {0, 0, 0};
    for (int parallel : {1, 2}) {
        writeSetting(settingsFilePath(), "set", "parallel", QString::number(parallel));
        const double cpuBefore = bench::ownCpuSeconds();
        QElapsedTimer batch;
        batch.start();
        QEventLoop untilDone;
        QObject::connect(&run, &BatchRun::runFinished, &untilDone, &QEventLoop::quit);
        run.start();
        if (run.isRunning())
            untilDone.exec();
        batchMs[parallel] = batch.elapsed();
        if (parallel == 1)
            cpu = bench::ownCpuSeconds() - cpuBefore;
        for (int r = 0; r < list.count(); ++r)
            ok[parallel] += list.textAt(r, SourceList::Status) == "OK";
    }

    std::printf("conversion benchmark: 6 clips of 10 s, 640x480 -> FLV 320x240\n");
    std::printf("  batch run, one at a time      : %8.0f ms (%d OK)\n", batchMs[1], ok[1]);
    std::printf("  batch run, two at once        : %8.0f ms (%d OK)\n", batchMs[2], ok[2]);
    std::printf("  encoder commands run directly : %8.0f ms\n", directMs);
    std::printf("  ratio one at a time / direct  : %8.2f\n", batchMs[1] / directMs);
    std::printf("  ratio two at once / one       : %8.2f\n", batchMs[2] / batchMs[1]);
    std::printf("  Clipvane's own CPU during the run: %.3f s\n", cpu);
    std::printf("  worst event-loop lateness (10 ms timer): %lld ms\n",
                static_cast<long long>(latency.worstLatenessMs()));
    return compareWithDirect(5, 4, 5);
}
