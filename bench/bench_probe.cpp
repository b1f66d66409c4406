// Adds 50 files through the probe, one after another and then several at a time (one per
// core), and compares them with MPlayer's identify alone (the probe lists the tracks in this
// process) and with identify and FFmpeg's prober run directly side by side for each file, one file
// after another and several files at a time; also reports the program's own CPU and the worst
// event-loop stall of each way. Exits non-zero when the two ways disagree or a file was not read.
//
//   bench_probe [--rounds N]
//
// --rounds 5 prints each figure's median and spread over five rounds.
#include "bench/benchsupport.h"
#include "process/commandline.h"
#include "process/toolpaths.h"
#include "sources/mediaprobe.h"
#include "sources/sourcelist.h"

#include <QCoreApplication>
#include <QTemporaryDir>

using namespace clipvane;

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int rounds = bench::roundsAsked(app.arguments());
    QTemporaryDir dir;
    bench::useProgramFolder(dir.path());
    const int count = 50;
    QStringList files;
    QList<QStringList> identify;
    QList<QStringList> durations;
    for (int i = 0; i < count; ++i) {
        const QString path = dir.filePath(QStringLiteral("clip %1.avi").arg(i, 2, 10, QChar('0')));
        const QString size = i % 2 ? "320x240" : "640x480";
        if (!bench::ffmpeg({"-f", "lavfi", "-i", "testsrc=size=" + size + ":rate=25", "-f", "lavfi",
                            "-i", "sine=frequency=440", "-t", QString::number(1 + i % 3), "-c:v",
                            "mpeg4", "-c:a", "libmp3lame", path})) {
            std::fprintf(stderr, "could not generate clips\n");
            return 1;
        }
        files << path;
        identify << splitCommandLine(identifyCommandLine(programFolderWithSlash(), path));
        durations << splitCommandLine(listingCommandLine(ffprobeProgram(), path));
    }
    const int parallel = probeParallelism();

    // Each way fills a list of its own; both must find the same sizes and lengths.
    const auto measure = [&](SourceList& list, int atOnce, bench::Figure& stall,
                             bench::Figure& ownCpu) {
        bench::LoopLatency latency;
        latency.start();
        const double cpuBefore = bench::ownCpuSeconds();
        QElapsedTimer clock;
        clock.start();
        if (atOnce == 1) {
            for (const QString& f : files)
                bench::addAndProbe(list, {f});
        } else {
            bench::addAndProbe(list, files, atOnce);
        }
        const double ms = static_cast<double>(clock.elapsed());
        stall.add(static_cast<double>(latency.worstLatenessMs()));
        ownCpu.add(100.0 * (bench::ownCpuSeconds() - cpuBefore) / (ms / 1000.0));
        return ms;
    };

    bench::Figure identifyMs, sideBySideMs, sideBySideSeveralMs, singleMs, severalMs;
    bench::Figure singleStall, severalStall, singleCpu, severalCpu;
    bench::Figure singleToDirect, singleToIdentify, severalToSingle, severalToDirect;
    int filled = 0;
    int same = 0;
    for (int round = 0; round < rounds; ++round) {
        const double identifyOnly = bench::runSchedule(identify, {}, 1).wallMs;
        identifyMs.add(identifyOnly);
        // Both tools of a file side by side, one file after another; then `parallel` files at
        // a time (two tools each).
        double pairs = 0;
        for (int i = 0; i < count; ++i)
            pairs += bench::runSchedule({identify.at(i), durations.at(i)}, {}, 2).wallMs;
        sideBySideMs.add(pairs);
        QList<QStringList> interleaved;
        for (int i = 0; i < count; ++i)
            interleaved << identify.at(i) << durations.at(i);
        const double severalDirect = bench::runSchedule(interleaved, {}, 2 * parallel).wallMs;
        sideBySideSeveralMs.add(severalDirect);

        SourceList single;
        SourceList several;
        const double one = measure(single, 1, singleStall, singleCpu);
        const double many = measure(several, parallel, severalStall, severalCpu);
        singleMs.add(one);
        severalMs.add(many);
        singleToDirect.add(one / pairs);
        singleToIdentify.add(one / identifyOnly);
        severalToSingle.add(many / one);
        severalToDirect.add(many / severalDirect);
        for (int r = 0; r < count; ++r) {
            filled += several.textAt(r, SourceList::Size) != "0x0" &&
                      !several.textAt(r, SourceList::End).isEmpty();
            bool equal = true;
            for (int c = 0; c < SourceList::ColumnCount; ++c)
                equal = equal && single.textAt(r, c) == several.textAt(r, c);
            same += equal;
        }
        std::fprintf(stderr, "  probe round %d of %d done\n", round + 1, rounds);
    }

    std::printf("probe benchmark: %d files, %d round(s), median (spread); %d of %d read with a "
                "size and a length, %d alike both ways\n",
                count, rounds, filled, count * rounds, same);
    std::printf("  identify commands run directly, one after another : %s ms\n",
                qPrintable(identifyMs.text(0)));
    std::printf("  identify and prober side by side, file after file : %s ms\n",
                qPrintable(sideBySideMs.text(0)));
    std::printf("  identify and prober side by side, %d files at once : %s ms\n", parallel,
                qPrintable(sideBySideSeveralMs.text(0)));
    std::printf("  probe queue, one file at a time                   : %s ms\n",
                qPrintable(singleMs.text(0)));
    std::printf("      own CPU %s %% of a core, worst event-loop stall %s ms\n",
                qPrintable(singleCpu.text(2)), qPrintable(singleStall.text(0)));
    std::printf("  probe queue, %d at a time                          : %s ms\n", parallel,
                qPrintable(severalMs.text(0)));
    std::printf("      own CPU %s %% of a core, worst event-loop stall %s ms\n",
                qPrintable(severalCpu.text(2)), qPrintable(severalStall.text(0)));
    std::printf("  ratio one at a time / tools side by side (goal <= 1.05)  : %s\n",
                qPrintable(singleToDirect.text(3)));
    std::printf("  ratio one at a time / identify alone (goal <= 1.05)      : %s\n",
                qPrintable(singleToIdentify.text(3)));
    std::printf("  ratio several at a time / one at a time (goal <= 0.60)   : %s\n",
                qPrintable(severalToSingle.text(3)));
    std::printf("  ratio several at a time / tools side by side, %d at once  : %s\n", parallel,
                qPrintable(severalToDirect.text(3)));
    return filled == count * rounds && same == count * rounds ? 0 : 1;
}
