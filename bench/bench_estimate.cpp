// How close the Estimate column comes to the file a conversion writes, and what the estimate
// costs: varied clips the benchmark makes (clean, noisy, still, fast motion; 480p to 1080p),
// each estimated as the window estimates it and then converted with the same options, for a
// constant quality (the profile's default and Quality 30), a fixed rate and a Target Size.
// Prints each case's estimate, the real size and the error (goals: median within 15 % for a
// constant quality, within 3 % for a fixed rate and a Target Size), and the CPU of the sample
// encodes against the conversion's (goal: at most 10 %).
//
//   bench_estimate [--seconds S] [--speed Fast|Balanced|Small File] [--only TEXT]
#include "bench/benchsupport.h"
#include "convert/encodercommand.h"
#include "convert/outputsize.h"
#include "convert/plannedoutput.h"
#include "convert/sizeestimator.h"
#include "options/optionsheet.h"
#include "options/profiles.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <cmath>

using namespace clipvane;

namespace {

// Runs one of Clipvane's commands with the FFmpeg on the path; false when it failed.
bool run(QStringList args) {
    args[0] = QStringLiteral("ffmpeg");
    return bench::runDirect(args);
}

struct Clip {
    const char* name;
    QString source; // the lavfi graph
};

struct Case {
    const char* name;
    QString changes; // "Row=value;..." of Video Options
    bool sampled;
};

double median(std::vector<double> v) {
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const auto option = [&args](const char* name, const QString& fallback) {
        const qsizetype at = args.indexOf(QLatin1String(name));
        return at >= 0 && at + 1 < args.size() ? args.at(at + 1) : fallback;
    };
    const double seconds = option("--seconds", "40").toDouble();
    const QString speed = option("--speed", "Balanced");
    QTemporaryDir dir;
    QTemporaryDir program;
    bench::useProgramFolder(program.path());
    const QList<Clip> clips = {
        {"clean 480p", "testsrc2=size=854x480:rate=25"},
        {"noisy 720p", "testsrc2=size=1280x720:rate=25,noise=alls=10:allf=t"},
        {"still 720p", "smptehdbars=size=1280x720:rate=25"},
        {"fast motion 1080p", "mandelbrot=size=1920x1080:rate=30"},
    };
    const QList<Case> cases = {
        {"Auto (default quality)", "", true},
        {"Quality 30", "Quality=30", true},
        {"fixed 1500 kbit/s", "Video Bitrate=1500", false},
        {"Target Size", "Video Bitrate=Target Size;Target Size (MB)=TARGET", false},
    };
    std::printf("%-18s %-23s %12s %12s %8s %10s %10s %7s\n", "clip", "case", "estimate", "output",
                "error", "encode s", "sample s", "share");
    std::vector<double> sampledErrors, fixedErrors, shares;
    const QString only = option("--only", QString());
    double sampleCpu = 0, sampledEncodeCpu = 0;
    for (const Clip& clip : clips) {
        if (!QString(clip.name).contains(only))
            continue;
        const QString source = dir.filePath(QString(clip.name).replace(' ', '_') + ".mkv");
        if (!bench::ffmpeg({"-f", "lavfi", "-i", clip.source, "-f", "lavfi", "-i",
                            "sine=frequency=330", "-t", QString::number(seconds), "-c:v", "libx264",
                            "-preset", "ultrafast", "-crf", "10", "-c:a", "flac", source})) {
            std::fprintf(stderr, "could not make %s\n", clip.name);
            return 1;
        }
        SourceList list;
        const SourceList::Id id = bench::addAndProbe(list, {source}).value(0);
        for (const Case& c : cases) {
            OptionSheet sheet;
            fillOptionSheet(sheet);
            applyProfilePick(sheet, 5); // MP4 H.264 + AAC
            sheet.setValue(opt::Video, opt::EncodingSpeed, speed);
            // A size a user would ask for a clip this long: 640 kbit/s in all.
            const QString changes =
                QString(c.changes).replace("TARGET", QString::number(seconds * 0.08, 'f', 1));
            for (const QString& change : changes.split(';', Qt::SkipEmptyParts))
                sheet.setValue(opt::Video, change.section('=', 0, 0), change.section('=', 1));
            const RowEncoding encoding = rowEncoding(list, id, 5, &sheet);
            EncoderInputs in = rowInputs(list, id, encoding.profile, RunSettings());
            in.options = std::get<EncoderOptions>(encoding.options);

            // The estimate, as the window makes it.
            const double estimateCpu0 = bench::childrenCpuSeconds();
            SizeEstimator estimator(&list, [&in](SourceList::Id) { return in; });
            estimator.setProgram(QStringLiteral("ffmpeg"));
            QEventLoop wait;
            QObject::connect(&estimator, &SizeEstimator::idle, &wait, &QEventLoop::quit);
            estimator.refresh();
            if (!estimator.isIdle())
                wait.exec();
            const double estimateCpu = bench::childrenCpuSeconds() - estimateCpu0;
            const std::optional<SizeEstimate> estimate = list.estimate(id);

            // The conversion itself.
            in.outputFolder = dir.filePath(QStringLiteral("out"));
            QDir().mkpath(in.outputFolder);
            in.overwrite = true;
            QTemporaryDir passes;
            in.passLogFolder = passes.path();
            resolveTargetSize(in);
            const EncoderCommandResult built = buildEncoderCommand(in);
            const auto* command = std::get_if<EncoderCommand>(&built);
            if (!command) {
                std::fprintf(stderr, "%s: %s\n", c.name,
                             qPrintable(std::get<EncoderCommandError>(built).reason));
                return 1;
            }
            const double encodeCpu0 = bench::childrenCpuSeconds();
            if ((command->firstPass && !run(command->firstPass->arguments())) ||
                !run(command->command.arguments())) {
                std::fprintf(stderr, "%s: the encode failed\n", c.name);
                return 1;
            }
            const double encodeCpu = bench::childrenCpuSeconds() - encodeCpu0;
            const qint64 bytes = QFileInfo(command->encodePath).size();
            QFile::remove(command->encodePath);
            const double error =
                estimate && bytes > 0 ? double(estimate->bytes) / double(bytes) - 1 : NAN;
            (c.sampled ? sampledErrors : fixedErrors).push_back(std::fabs(error));
            if (c.sampled) {
                shares.push_back(estimateCpu / encodeCpu);
                sampleCpu += estimateCpu;
                sampledEncodeCpu += encodeCpu;
            }
            std::printf("%-18s %-23s %12lld %12lld %+7.1f%% %10.2f %10.2f %6.1f%%\n", clip.name,
                        c.name, estimate ? estimate->bytes : -1LL, bytes, error * 100, encodeCpu,
                        estimateCpu, c.sampled ? estimateCpu / encodeCpu * 100 : 0.0);
            std::fflush(stdout);
        }
    }
    std::printf("\nmedian |error|: constant quality %.1f %% (goal 15 %%), fixed rates and "
                "Target Size %.1f %% (goal 3 %%)\n",
                median(sampledErrors) * 100, median(fixedErrors) * 100);
    std::printf(
        "worst |error|: constant quality %.1f %%, fixed rates and Target Size %.1f %%\n",
        sampledErrors.empty() ? 0
                              : *std::max_element(sampledErrors.begin(), sampledErrors.end()) * 100,
        fixedErrors.empty() ? 0 : *std::max_element(fixedErrors.begin(), fixedErrors.end()) * 100);
    std::printf("estimate's CPU against the conversion's: median %.1f %%, all together %.1f %% "
                "(goal 10 %%)\n",
                median(shares) * 100,
                sampledEncodeCpu > 0 ? sampleCpu / sampledEncodeCpu * 100 : 0.0);
    return 0;
}
