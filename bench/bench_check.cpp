// What the check of a long output costs against that output's encode: a 720p H.264 output of
// ten minutes (MP4, and the same streams in Matroska), its sound alone as MP3, and with
// --webm a VP8 WebM. Prints the check's time and CPU, how much of the file the prober read,
// and the ratios to the encode (goal: at most 2 %).
//
//   bench_check [--rounds N] [--seconds S] [--webm]
#include "bench/benchsupport.h"
#include "convert/outputcheck.h"
#include "process/toolpaths.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFileInfo>
#include <QTemporaryDir>

using namespace clipvane;

namespace {
// The check reads in this process: its CPU is this process's (and any child's).
double checkCpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_CHILDREN, &u);
    return bench::cpuSeconds(u) + bench::ownCpuSeconds();
}

// One check of a short output, in this process and with a prober started for it: the CPU of
// each, median of rounds (ms).
void shortOutputs(const QString& dir, int rounds) {
    const QString path = dir + QStringLiteral("/short.mp4");
    bench::runDirect({"ffmpeg",   "-v",       "error",
                      "-y",       "-nostdin", "-f",
                      "lavfi",    "-i",       "testsrc2=size=640x360:rate=25",
                      "-f",       "lavfi",    "-i",
                      "sine",     "-t",       "1",
                      "-c:v",     "libx264",  "-preset",
                      "veryfast", "-c:a",     "aac",
                      path});
    bench::Figure inProcess, prober;
    for (int round = 0; round < std::max(rounds, 20); ++round) {
        double before = checkCpuSeconds();
        const PacketListing read = readPackets(outputReading(path, true, 1));
        inProcess.add(1000.0 * (checkCpuSeconds() - before));
        if (read.exitCode != 0)
            std::fprintf(stderr, "the reading failed: %s\n", read.errors.constData());
        before = checkCpuSeconds();
        bench::runDirect(QStringList{ffprobeProgram()} + proberArguments(path, true, 1));
        prober.add(1000.0 * (checkCpuSeconds() - before));
    }
    std::printf("check of a 1 s MP4: %s ms CPU in this process, %s ms with a prober started "
                "for it\n",
                qPrintable(inProcess.text(1)), qPrintable(prober.text(1)));
}

// How many bytes the check reads of the file.
qint64 bytesRead(const QString& path, qint64 clipSeconds) {
    return readPackets(outputReading(path, !path.endsWith(QLatin1String(".mp3")), clipSeconds))
        .bytesRead;
}
} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int rounds = bench::roundsAsked(args);
    const qsizetype at = args.indexOf(QStringLiteral("--seconds"));
    const QString seconds = at >= 0 && at + 1 < args.size() ? args.at(at + 1) : "600";
    QTemporaryDir dir;
    const QStringList picture{"-f", "lavfi", "-i", "testsrc2=size=1280x720:rate=25",
                              "-f", "lavfi", "-i", "sine=frequency=440",
                              "-t", seconds};
    const QStringList sound{"-f", "lavfi", "-i", "sine=frequency=440", "-t", seconds};
    const auto ffmpeg = [](const QStringList& a) {
        return QStringList{"ffmpeg", "-v", "error", "-y", "-nostdin"} + a;
    };
    struct Output {
        QString file;
        QStringList encode; // empty: the streams of the output before, copied
    };
    QList<Output> outputs{
        {"long.mp4",
         ffmpeg(picture + QStringList{"-c:v", "libx264", "-preset", "veryfast", "-c:a", "aac",
                                      "-movflags", "+faststart", dir.filePath("long.mp4")})},
        {"long.mkv",
         ffmpeg({"-i", dir.filePath("long.mp4"), "-c", "copy", dir.filePath("long.mkv")})},
        {"long.mp3", ffmpeg(sound + QStringList{"-c:a", "libmp3lame", "-b:a", "128k",
                                                dir.filePath("long.mp3")})}};
    if (args.contains(QStringLiteral("--webm")))
        outputs << Output{"long.webm",
                          ffmpeg(picture + QStringList{"-c:v", "libvpx", "-deadline", "realtime",
                                                       "-cpu-used", "8", "-b:v", "2M", "-c:a",
                                                       "libopus", dir.filePath("long.webm")})};

    shortOutputs(dir.path(), rounds);
    std::printf("output check against the encode: %s s, 720p, %d round(s) of the check, "
                "median (spread); goal <= 2 %%\n",
                qPrintable(seconds), rounds);
    bench::ScheduleTimes encoded;
    for (const Output& o : outputs) {
        const bench::ScheduleTimes made = bench::runSchedule({o.encode}, {}, 1);
        const bool copied = o.file.endsWith(QLatin1String(".mkv"));
        if (!copied)
            encoded = made; // a copy of the streams costs what their encode did
        const QString path = dir.filePath(o.file);
        const qint64 size = QFileInfo(path).size();
        if (size <= 0) {
            std::fprintf(stderr, "could not make %s\n", qPrintable(o.file));
            return 1;
        }
        bench::Figure wallMs, cpuMs, wallShare, cpuShare;
        QString verdict;
        for (int round = 0; round < rounds; ++round) {
            OutputCheck check;
            QEventLoop untilJudged;
            QObject::connect(&check, &OutputCheck::finished, &untilJudged,
                             [&](const QString& failure) {
                                 verdict = failure;
                                 untilJudged.quit();
                             });
            const double cpuBefore = checkCpuSeconds();
            QElapsedTimer clock;
            clock.start();
            check.start(path, seconds.toLongLong(), !o.file.endsWith(QLatin1String(".mp3")));
            untilJudged.exec();
            const double ms = static_cast<double>(clock.elapsed());
            const double cpu = 1000.0 * (checkCpuSeconds() - cpuBefore);
            wallMs.add(ms);
            cpuMs.add(cpu);
            wallShare.add(100.0 * ms / encoded.wallMs);
            cpuShare.add(100.0 * cpu / (1000.0 * encoded.encodeCpu));
        }
        const qint64 read = bytesRead(path, seconds.toLongLong());
        std::printf("%s: %.1f MB, encode %.1f s (%.1f s CPU)%s; check %s\n", qPrintable(o.file),
                    size / 1e6, encoded.wallMs / 1000.0, encoded.encodeCpu,
                    copied ? ", the MP4's streams copied" : "",
                    verdict.isEmpty() ? "passes" : qPrintable("fails: " + verdict));
        std::printf("  check: %s ms (%s ms CPU); read %.2f MB (%.2f %% of the file)\n",
                    qPrintable(wallMs.text(0)), qPrintable(cpuMs.text(0)), read / 1e6,
                    100.0 * static_cast<double>(read) / static_cast<double>(size));
        std::printf("  check / encode: %s %% of the time, %s %% of the CPU\n",
                    qPrintable(wallShare.text(3)), qPrintable(cpuShare.text(3)));
        std::fflush(stdout);
    }
    return 0;
}
