// Adds 50 files through the probe and compares the time with running the same 50 identify
// commands directly, one after another; also reports the worst event-loop stall.
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
        bench::runDirect(splitCommandLine(identifyCommandLine(AppPathSlash(), f)));
    const double directMs = direct.elapsed();

    SourceList list;
    bench::LoopLatency latency;
    latency.start();
    QElapsedTimer probed;
    probed.start();
    for (const QString& f : files)
        addvideofile(list, f);
    const double probeMs = probed.elapsed();

    int filled = 0;
    for (int r = 0; r < list.count(); ++r)
        filled += list.textAt(r, SourceList::Size) != "0x0";
    std::printf("probe benchmark: %d files (%d with a size)\n", count, filled);
    std::printf("  addvideofile, one after another : %8.0f ms\n", probeMs);
    std::printf("  identify commands run directly  : %8.0f ms\n", directMs);
    std::printf("  ratio                           : %8.2f\n", probeMs / directMs);
    std::printf("  worst event-loop lateness (10 ms timer): %lld ms\n",
                static_cast<long long>(latency.worstLatenessMs()));
    return 0;
}
