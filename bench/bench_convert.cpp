// Converts 6 clips of about 10 s through the batch run and compares the wall time with
// running the same 6 encoder commands directly; reports Clipvane's own CPU time.
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

using namespace clipvane;

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
    return 0;
}
