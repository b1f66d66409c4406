#include "capture/recordingcheck.h"

#include "capture/quicktool.h"
#include "process/toolpaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>
#include <cstdio>

namespace clipvane {
namespace {

constexpr int kHeaderProbeMs = 30 * 1000;
constexpr int kReadThroughMs = 5 * 60 * 1000; // reading or rewriting a large file

// The number the prober prints for one entry; -1 when it has none (N/A) or did not run.
qint64 probedNumber(const QString& file, const QString& entry, bool countPackets,
                    bool* proberRan = nullptr) {
    QStringList args{ffprobeProgram(), QStringLiteral("-v"), QStringLiteral("error"),
                     QStringLiteral("-select_streams"), QStringLiteral("v:0")};
    if (countPackets)
        args << QStringLiteral("-count_packets");
    args << QStringLiteral("-show_entries") << QStringLiteral("stream=") + entry
         << QStringLiteral("-of") << QStringLiteral("default=noprint_wrappers=1:nokey=1")
         << QStringLiteral("file:") + file;
    const QuickToolRun run = runQuickTool(args, countPackets ? kReadThroughMs : kHeaderProbeMs);
    if (proberRan)
        *proberRan =
            run.exit.started && !run.exit.timedOut && !run.exit.crashed && run.exit.exitCode != 127;
    bool ok = false;
    const qint64 value = run.output.trimmed().toLongLong(&ok);
    return ok ? value : -1;
}

} // namespace

RecordingCheck checkRecording(const QString& file) {
    RecordingCheck check;
    const QFileInfo info(file);
    if (!info.isFile()) {
        check.problem = QCoreApplication::translate(
                            "RecordingCheck",
                            "%1 is gone: its file or folder was deleted or moved while recording.")
                            .arg(file);
        return check;
    }
    if (info.size() == 0) {
        check.problem =
            QCoreApplication::translate("RecordingCheck", "nothing could be written to %1.")
                .arg(file);
        return check;
    }
    bool proberRan = false;
    check.frames = probedNumber(file, QStringLiteral("nb_frames"), false, &proberRan);
    if (!proberRan) {
        check.saved = true; // nothing to look with: the file is there
        check.frames = -1;
        return check;
    }
    if (check.frames > 0) {
        check.saved = true;
        return check;
    }
    // No count in the header: the writer did not finish it. Pictures in it are saved by
    // writing it again, with an index, beside it and then over it.
    if (probedNumber(file, QStringLiteral("nb_read_packets"), true) <= 0) {
        check.frames = 0;
        check.problem =
            QCoreApplication::translate("RecordingCheck", "%1 holds no pictures.").arg(file);
        return check;
    }
    QTemporaryFile rewritten(
        info.dir().filePath(QStringLiteral(".%1.repair-XXXXXX.avi").arg(info.completeBaseName())));
    if (rewritten.open()) {
        rewritten.close();
        const QuickToolRun run =
            runQuickTool({ffmpegProgram(), QStringLiteral("-v"), QStringLiteral("error"),
                          QStringLiteral("-i"), QStringLiteral("file:") + file,
                          QStringLiteral("-map"), QStringLiteral("0"), QStringLiteral("-c"),
                          QStringLiteral("copy"), QStringLiteral("-f"), QStringLiteral("avi"),
                          QStringLiteral("-y"), QStringLiteral("file:") + rewritten.fileName()},
                         kReadThroughMs);
        const qint64 frames =
            run.exit.succeeded()
                ? probedNumber(rewritten.fileName(), QStringLiteral("nb_frames"), false)
                : -1;
        QFile::setPermissions(rewritten.fileName(), info.permissions());
        if (frames > 0 && std::rename(QFile::encodeName(rewritten.fileName()).constData(),
                                      QFile::encodeName(file).constData()) == 0) {
            rewritten.setAutoRemove(false); // it is the recording now
            check.saved = true;
            check.repaired = true;
            check.frames = frames;
            return check;
        }
    }
    check.problem = QCoreApplication::translate("RecordingCheck",
                                                "%1 was left unfinished and could not be repaired.")
                        .arg(file);
    return check;
}

} // namespace clipvane
