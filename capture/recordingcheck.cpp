#include "capture/recordingcheck.h"

#include "capture/quicktool.h"
#include "process/toolpaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>
#include <QTimer>
#include <cstdio>

namespace clipvane {
namespace {

constexpr int kHeaderProbeMs = 30 * 1000;
constexpr int kReadThroughMs = 5 * 60 * 1000; // reading or rewriting a large file

// The number the prober printed for one entry; -1 when it has none (N/A) or did not run.
qint64 probedNumber(const QuickToolRun& run) {
    bool ok = false;
    const qint64 value = run.output.trimmed().toLongLong(&ok);
    return ok ? value : -1;
}

bool proberRan(const QuickToolRun& run) {
    return run.exit.started && !run.exit.timedOut && !run.exit.crashed && run.exit.exitCode != 127;
}

} // namespace

RecordingChecker::RecordingChecker(QObject* parent) : QObject(parent) {}

RecordingChecker::~RecordingChecker() = default;

void RecordingChecker::start(const QString& file) {
    m_file = file;
    m_check = {};
    m_rewritten.reset();
    const QFileInfo info(file);
    if (!info.isFile()) {
        return fail(QCoreApplication::translate(
                        "RecordingCheck",
                        "%1 is gone: its file or folder was deleted or moved while recording.")
                        .arg(file));
    }
    if (info.size() == 0) {
        return fail(QCoreApplication::translate("RecordingCheck", "nothing could be written to %1.")
                        .arg(file));
    }
    probe(file, QStringLiteral("nb_frames"), false, &RecordingChecker::afterHeader);
}

void RecordingChecker::probe(const QString& file, const QString& entry, bool countPackets,
                             void (RecordingChecker::*next)(const QuickToolRun&)) {
    QStringList args{ffprobeProgram(), QStringLiteral("-v"), QStringLiteral("error"),
                     QStringLiteral("-select_streams"), QStringLiteral("v:0")};
    if (countPackets)
        args << QStringLiteral("-count_packets");
    args << QStringLiteral("-show_entries") << QStringLiteral("stream=") + entry
         << QStringLiteral("-of") << QStringLiteral("default=noprint_wrappers=1:nokey=1")
         << QStringLiteral("file:") + file;
    QuickTool::run(this, args, countPackets ? kReadThroughMs : kHeaderProbeMs,
                   [this, next](const QuickToolRun& run) { (this->*next)(run); });
}

void RecordingChecker::afterHeader(const QuickToolRun& run) {
    if (!proberRan(run)) {
        m_check.saved = true; // nothing to look with: the file is there
        return finish();
    }
    m_check.frames = probedNumber(run);
    if (m_check.frames > 0) {
        m_check.saved = true;
        return finish();
    }
    // No count in the header: the writer did not finish it. Pictures in it are saved by
    // writing it again, with an index, beside it and then over it.
    probe(m_file, QStringLiteral("nb_read_packets"), true, &RecordingChecker::afterCount);
}

void RecordingChecker::afterCount(const QuickToolRun& run) {
    if (probedNumber(run) <= 0) {
        m_check.frames = 0;
        return fail(
            QCoreApplication::translate("RecordingCheck", "%1 holds no pictures.").arg(m_file));
    }
    const QFileInfo info(m_file);
    m_rewritten = std::make_unique<QTemporaryFile>(
        info.dir().filePath(QStringLiteral(".%1.repair-XXXXXX.avi").arg(info.completeBaseName())));
    if (!m_rewritten->open())
        return afterRewrittenHeader({});
    m_rewritten->close();
    QuickTool::run(this,
                   {ffmpegProgram(), QStringLiteral("-v"), QStringLiteral("error"),
                    QStringLiteral("-i"), QStringLiteral("file:") + m_file, QStringLiteral("-map"),
                    QStringLiteral("0"), QStringLiteral("-c"), QStringLiteral("copy"),
                    QStringLiteral("-f"), QStringLiteral("avi"), QStringLiteral("-y"),
                    QStringLiteral("file:") + m_rewritten->fileName()},
                   kReadThroughMs, [this](const QuickToolRun& run) { afterRewrite(run); });
}

void RecordingChecker::afterRewrite(const QuickToolRun& run) {
    if (!run.exit.succeeded())
        return afterRewrittenHeader({});
    probe(m_rewritten->fileName(), QStringLiteral("nb_frames"), false,
          &RecordingChecker::afterRewrittenHeader);
}

void RecordingChecker::afterRewrittenHeader(const QuickToolRun& run) {
    const qint64 frames = probedNumber(run);
    if (m_rewritten && frames > 0) {
        QFile::setPermissions(m_rewritten->fileName(), QFileInfo(m_file).permissions());
        if (std::rename(QFile::encodeName(m_rewritten->fileName()).constData(),
                        QFile::encodeName(m_file).constData()) == 0) {
            m_rewritten->setAutoRemove(false); // it is the recording now
            m_rewritten.reset();
            m_check.saved = true;
            m_check.repaired = true;
            m_check.frames = frames;
            return finish();
        }
    }
    fail(QCoreApplication::translate("RecordingCheck",
                                     "%1 was left unfinished and could not be repaired.")
             .arg(m_file));
}

void RecordingChecker::fail(const QString& problem) {
    m_check.saved = false;
    m_check.problem = problem;
    finish();
}

void RecordingChecker::finish() {
    m_rewritten.reset(); // a rewrite that was not used goes
    // From the event loop: never from inside start().
    QTimer::singleShot(0, this, [this] { emit finished(m_check); });
}

} // namespace clipvane
