// Adds 50 files through the probe, one after another and then several at a time (one per
// core), and compares the times, with running the same 50 identify commands directly as a
// baseline; also reports the worst event-loop stall of each way. Exits non-zero when the two
// ways disagree or a file was not read.
#include "bench/benchsupport.h"
#include "process/commandline.h"
#include "sources/mediaprobe.h"
#include "sources/sourcelist.h"

#include <QCoreApplication>
#include <QTemporaryDir>

using namespace clipvane;

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    bench::useProgramFolder(dir.path());
    const int count = 50;
    QStringList files;
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
    }

    QElapsedTimer direct;
    direct.start();
    for (const QString& f : files)
        bench::runDirect(splitCommandLine(identifyCommandLine(programFolderWithSlash(), f)));
    const double directMs = direct.elapsed();

    // Each way fills a list of its own; both must find the same sizes and lengths.
    const auto measure = [&](SourceList& list, int parallel, qint64& lateness) {
        bench::LoopLatency latency;
        latency.start();
        QElapsedTimer clock;
        clock.start();
        if (parallel == 1) {
            for (const QString& f : files)
                appendAndProbe(list, f);
        } else {
            appendAndProbe(list, files, parallel);
        }
        lateness = latency.worstLatenessMs();
        return static_cast<double>(clock.elapsed());
    };
    const int parallel = probeParallelism();
    SourceList single;
    SourceList several;
    qint64 singleLate = 0;
    qint64 severalLate = 0;
    const double singleMs = measure(single, 1, singleLate);
    const double severalMs = measure(several, parallel, severalLate);

    int filled = 0;
    int same = 0;
    for (int r = 0; r < count; ++r) {
        filled += several.textAt(r, SourceList::Size) != "0x0" &&
                  !several.textAt(r, SourceList::End).isEmpty();
        bool equal = true;
        for (int c = 0; c < SourceList::ColumnCount; ++c)
            equal = equal && single.textAt(r, c) == several.textAt(r, c);
        same += equal;
    }
    std::printf("probe benchmark: %d files (%d with a size and a length, %d alike both ways)\n",
                count, filled, same);
    std::printf("  identify commands run directly   : %8.0f ms\n", directMs);
    std::printf(
        "  appendAndProbe, one file at a time: %8.0f ms  (worst event-loop lateness %lld ms)\n",
        singleMs, static_cast<long long>(singleLate));
    std::printf(
        "  appendAndProbe, %2d at a time      : %8.0f ms  (worst event-loop lateness %lld ms)\n",
        parallel, severalMs, static_cast<long long>(severalLate));
    std::printf("  ratio, several at a time / one after another: %.2f\n", severalMs / singleMs);
    return filled == count && same == count ? 0 : 1;
}
