// Converts one 1 s clip 200 times in one batch (200 distinct outputs) and compares what the
// process holds before and after: open descriptors, child processes, zombies, memory. Exits
// non-zero when anything is left behind or a conversion did not end "OK".
#include "base/desktopservices.h"
#include "base/messageboxes.h"
#include "bench/benchsupport.h"
#include "convert/batchrun.h"
#include "convert/encodercommand.h"
#include "convert/plannedoutput.h"
#include "options/optionsheet.h"
#include "options/profiles.h"
#include "process/childtools.h"
#include "settings/settingsfile.h"
#include "sources/mediaprobe.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QThread>
#include <QThreadPool>
#include <unistd.h>

using namespace clipvane;

namespace {
constexpr int kCopies = 200;

struct Snapshot {
    int fds = 0;
    int children = 0;
    int zombies = 0;
    qint64 rssKb = 0;
    qint64 hwmKb = 0;
};

qint64 statusKb(const QByteArray& status, const char* key) {
    for (const QByteArray& line : status.split('\n')) {
        if (line.startsWith(key))
            return line.mid(qstrlen(key)).trimmed().split(' ').first().toLongLong();
    }
    return -1;
}

Snapshot snapshot() {
    Snapshot s;
    // Less the descriptor the listing itself holds open.
    s.fds = static_cast<int>(QDir("/proc/self/fd")
                                 .entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)
                                 .size()) -
            1;
    const QByteArray own = QByteArray::number(getpid());
    for (const QString& pid : QDir("/proc").entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile stat("/proc/" + pid + "/stat");
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        // pid (comm) state ppid ...; comm may hold blanks and parentheses.
        const QByteArray text = stat.readAll();
        const QList<QByteArray> rest = text.mid(text.lastIndexOf(')') + 2).split(' ');
        if (rest.size() < 2 || rest.at(1) != own)
            continue;
        ++s.children;
        s.zombies += rest.at(0) == "Z";
    }
    QFile status("/proc/self/status");
    if (status.open(QIODevice::ReadOnly)) {
        const QByteArray text = status.readAll();
        s.rssKb = statusKb(text, "VmRSS:");
        s.hwmKb = statusKb(text, "VmHWM:");
    }
    return s;
}

void print(const char* when, const Snapshot& s) {
    std::printf("  %-7s fds %4d   children %3d   zombies %3d   VmRSS %7lld kB   VmHWM %7lld kB\n",
                when, s.fds, s.children, s.zombies, static_cast<long long>(s.rssKb),
                static_cast<long long>(s.hwmKb));
}
} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    bench::Workspace space("0");
    QTemporaryDir& dir = space.dir;
    QTemporaryDir& out = space.out;

    const QString clip = dir.filePath("tiny.avi");
    if (!bench::ffmpeg({"-f", "lavfi", "-i", "testsrc=size=160x120:rate=25", "-f", "lavfi", "-i",
                        "sine=frequency=440", "-t", "1", "-c:v", "mpeg4", "-c:a", "libmp3lame",
                        clip}))
        return 1;

    SourceList list;
    OptionSheet sheet;
    fillOptionSheet(sheet);
    applyProfilePick(sheet, 2);
    BatchRun run(BatchRun::Environment{&list, &sheet, [] { return 2; }, &ChildTools::instance()});

    const Snapshot before = snapshot();
    QElapsedTimer wall;
    wall.start();
    for (int i = 0; i < kCopies; ++i)
        bench::addAndProbe(list, {clip});
    const double addMs = wall.restart();
    QEventLoop untilDone;
    QObject::connect(&run, &BatchRun::runFinished, &untilDone, &QEventLoop::quit);
    RunSettings runSettings = RunSettings::read(Preferences());
    // The quality score is bench_quality's; here it would go on after the batch, its last
    // comparison counted as a child left behind.
    runSettings.scoreQuality = false;
    run.start(runSettings);
    if (run.isRunning())
        untilDone.exec();
    // Let deferred deletions run, as the program's own event loop would.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
    const double batchMs = wall.elapsed();
    // The worker threads that read files (each with a wake-up descriptor of its own) live on
    // for a while after their last task: they are the pool's, not a file's.
    QThreadPool::globalInstance()->setExpiryTimeout(0);
    QThreadPool::globalInstance()->waitForDone();
    Snapshot after = snapshot();
    for (int i = 0; i < 100 && after.fds > before.fds; ++i) {
        QThread::msleep(10);
        after = snapshot();
    }

    int ok = 0;
    QString firstFailure;
    for (int r = 0; r < list.count(); ++r) {
        ok += list.textAt(r, SourceList::Status) == "OK";
        if (firstFailure.isEmpty() && list.textAt(r, SourceList::Status) != "OK")
            firstFailure = QStringLiteral("row %1: %2 %3")
                               .arg(r + 1)
                               .arg(list.textAt(r, SourceList::Status),
                                    list.note(list.idAt(r)).section('\n', 0, 1));
    }
    const int outputs = static_cast<int>(QDir(out.path()).entryList(QDir::Files).size());

    // The same encoder command run directly, for what a file costs beyond its encoder.
    RunSettings settings = RunSettings::read(Preferences());
    settings.overwrite = true;
    EncoderInputs in = rowInputs(list, list.idAt(0), profileAt(2), settings);
    in.options = std::get<EncoderOptions>(readEncoderOptions(sheet));
    const auto built = buildEncoderCommand(in);
    double directMs = 0;
    constexpr int kDirect = 20;
    if (const auto* command = std::get_if<EncoderCommand>(&built)) {
        QElapsedTimer direct;
        direct.start();
        for (int i = 0; i < kDirect; ++i)
            bench::runDirect(command->command.arguments());
        directMs = static_cast<double>(direct.elapsed()) / kDirect;
    }

    std::printf("200-file batch: one 1 s clip added %d times -> FLV, new names\n", kCopies);
    print("before", before);
    print("after", after);
    std::printf("  adding (probes)  : %8.0f ms\n", addMs);
    std::printf("  batch run        : %8.0f ms (%.0f ms a file)\n", batchMs, batchMs / kCopies);
    std::printf("  encoder alone    : %8.0f ms a file (its command run directly)\n", directMs);
    std::printf("  beyond the encoder: %7.1f ms a file (goal <= 15)\n",
                batchMs / kCopies - directMs);
    std::printf("  OK rows          : %8d of %d\n", ok, kCopies);
    std::printf("  output files     : %8d\n", outputs);

    bool leak = false;
    const auto check = [&](const char* what, int b, int a) {
        if (a != b) {
            std::printf("  LEFT BEHIND: %s %d before, %d after\n", what, b, a);
            leak = true;
        }
    };
    check("open descriptors", before.fds, after.fds);
    check("child processes", before.children, after.children);
    check("zombies", before.zombies, after.zombies);
    if (ok != kCopies || outputs != kCopies) {
        std::printf("  FAILED: %d OK rows, %d outputs, wanted %d; first %s\n", ok, outputs, kCopies,
                    qPrintable(firstFailure));
        return 1;
    }
    return leak ? 1 : 0;
}
