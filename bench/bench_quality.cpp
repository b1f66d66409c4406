// What the quality score costs against the encode it judges, and what it says: varied clips
// the benchmark makes (clean, noisy, still, fast motion; 480p to 1080p), each encoded as the
// MP4 profile does by default (H.264, constant quality) and once at a starved bit rate, then
// scored as the window scores them. Prints each encode's and score's CPU, the share (goal: at
// most 10 %) and the SSIM/PSNR of the good and the starved output. Clips of up to 20 s are
// compared whole, longer ones in windows: the default length measures the first, --seconds 60
// the second. The sources have a keyframe only every 250 frames, so a window may cost that
// much decoding before it.
//
//   bench_quality [--seconds S]
#include "bench/benchsupport.h"
#include "convert/qualityscore.h"
#include "process/toolpaths.h"

#include <QCoreApplication>
#include <QTemporaryDir>

using namespace clipvane;

namespace {

double childrenCpu() {
    rusage u{};
    getrusage(RUSAGE_CHILDREN, &u);
    return bench::cpuSeconds(u);
}

// Runs a command to its end; its CPU seconds, and its error output in *errors.
double timed(const QStringList& args, QByteArray* errors = nullptr) {
    const double before = childrenCpu();
    QProcess p;
    p.setProgram(args.first());
    p.setArguments(args.mid(1));
    p.setStandardOutputFile(QProcess::nullDevice());
    p.start();
    p.waitForFinished(-1);
    if (errors)
        *errors = p.readAllStandardError();
    return childrenCpu() - before;
}

struct Clip {
    const char* name;
    QString source; // the lavfi graph
    QString size;
};

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const qsizetype at = args.indexOf(QStringLiteral("--seconds"));
    const double seconds = at >= 0 && at + 1 < args.size() ? args.at(at + 1).toDouble() : 10.0;
    const QString t = QString::number(seconds);
    QTemporaryDir dir;
    const QList<Clip> clips = {
        {"clean 480p", "testsrc2=size=854x480:rate=25", "854x480"},
        {"noisy 720p", "testsrc2=size=1280x720:rate=25,noise=alls=10:allf=t", "1280x720"},
        {"still 720p", "smptehdbars=size=1280x720:rate=25", "1280x720"},
        {"fast motion 1080p", "mandelbrot=size=1920x1080:rate=30", "1920x1080"},
    };
    std::printf("%-18s %10s %10s %7s %22s %22s\n", "clip", "encode s", "score s", "share",
                "good SSIM/PSNR", "starved SSIM/PSNR");
    bench::Figure shares;
    for (const Clip& clip : clips) {
        const QString source = dir.filePath(QStringLiteral("source.mkv"));
        // A near-lossless source, as a camera's file would be.
        bench::ffmpeg({"-f", "lavfi", "-i", clip.source, "-t", t, "-c:v", "libx264", "-crf", "8",
                       "-preset", "ultrafast", "-pix_fmt", "yuv420p", source});
        const QString good = dir.filePath(QStringLiteral("good.mp4"));
        const QString starved = dir.filePath(QStringLiteral("starved.mp4"));
        const QStringList encode{ffmpegProgram(), "-v",   "error",   "-y",   "-nostdin", "-i",
                                 source,          "-c:v", "libx264", "-crf", "23",       "-preset",
                                 "medium",        good};
        const double encodeCpu = timed(encode);
        timed({ffmpegProgram(), "-v", "error", "-y", "-nostdin", "-i", source, "-c:v", "libx264",
               "-b:v", "100k", starved});
        QByteArray log;
        const double scoreCpu =
            timed(scoreArguments(ffmpegProgram(), {source, good, 0, seconds}), &log);
        const std::optional<OutputScore> goodScore = parseScore(log);
        timed(scoreArguments(ffmpegProgram(), {source, starved, 0, seconds}), &log);
        const std::optional<OutputScore> starvedScore = parseScore(log);
        const auto text = [](const std::optional<OutputScore>& s) {
            return s ? QStringLiteral("%1 / %2 dB").arg(s->ssim, 0, 'f', 3).arg(s->psnr, 0, 'f', 1)
                     : QStringLiteral("none");
        };
        const double share = encodeCpu > 0 ? 100.0 * scoreCpu / encodeCpu : 0;
        shares.add(share);
        std::printf("%-18s %10.2f %10.2f %6.1f%% %22s %22s\n", clip.name, encodeCpu, scoreCpu,
                    share, qPrintable(text(goodScore)), qPrintable(text(starvedScore)));
    }
    std::printf("score's CPU as a share of the encode's: median %.1f %% (goal: at most 10 %%)\n",
                shares.median());
    return 0;
}
