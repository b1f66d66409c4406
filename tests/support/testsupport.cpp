#include "tests/support/testsupport.h"

#include "base/apppaths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QtTest>
#include <algorithm>
#include <limits>

namespace clipvane::test {

QList<SourceList::Id> addAndProbe(SourceList& list, const QStringList& paths, int parallel,
                                  int timeoutMs) {
    ProbeQueue queue(list);
    queue.setParallel(parallel);
    QSignalSpy drained(&queue, &ProbeQueue::drained);
    const QList<SourceList::Id> ids = queue.add(paths, timeoutMs);
    // Each probe ends by its own time limit at the latest.
    const qsizetype rounds = (paths.size() + parallel - 1) / std::max(parallel, 1);
    const int waitMs = static_cast<int>(
        std::min<qint64>((timeoutMs + 60000) * (rounds + 1), std::numeric_limits<int>::max()));
    // A real event loop: qWaitFor's pauses between passes would hold up the tools' output.
    if (!queue.isIdle() && drained.isEmpty() && !drained.wait(waitMs))
        QTest::qFail("the probes did not end", __FILE__, __LINE__);
    return ids;
}

SourceList::Id addAndProbe(SourceList& list, const QString& path, int timeoutMs) {
    return addAndProbe(list, QStringList{path}, 1, timeoutMs).value(0);
}

bool waitForProbes(const SourceList& list, int waitMs) {
    QSignalSpy finished(&list, &SourceList::probesFinished);
    QDeadlineTimer deadline(waitMs);
    while (list.pendingProbes() > 0)
        if (!finished.wait(static_cast<int>(deadline.remainingTime())))
            return list.pendingProbes() == 0;
    return true;
}

HeldPlayer::HeldPlayer() {
    // The file is the last argument; the note holds the player's process id.
    QFile script(m_dir.filePath(QStringLiteral("player")));
    m_ok = m_dir.isValid() && script.open(QIODevice::WriteOnly) &&
           script.write("#!/bin/sh\n"
                        "dir='" +
                        QFile::encodeName(m_dir.path()) +
                        "'\n"
                        "for file; do :; done\n"
                        "name=$(basename \"$file\")\n"
                        "echo $$ > \"$dir/started.$name.new\"\n"
                        "mv \"$dir/started.$name.new\" \"$dir/started.$name\"\n"
                        "while [ ! -e \"$dir/go.$name\" ] && [ ! -e \"$dir/go.all\" ]; do\n"
                        "    sleep 0.02\n"
                        "done\n"
                        "exec mplayer \"$@\"\n") > 0 &&
           script.setPermissions(QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    qputenv("CLIPVANE_MPLAYER", script.fileName().toLocal8Bit());
}

HeldPlayer::~HeldPlayer() {
    releaseAll();
    qputenv("CLIPVANE_MPLAYER", "");
}

QStringList HeldPlayer::started() const {
    QStringList names = QDir(m_dir.path()).entryList({QStringLiteral("started.*")}, QDir::Files);
    names.removeIf([](const QString& name) { return name.endsWith(QLatin1String(".new")); });
    for (QString& name : names)
        name.remove(0, 8);
    return names;
}

qint64 HeldPlayer::processId(const QString& fileName) const {
    return contents(m_dir.filePath(QStringLiteral("started.") + fileName)).trimmed().toLongLong();
}

void HeldPlayer::release(const QString& fileName) {
    QFile(m_dir.filePath(QStringLiteral("go.") + fileName)).open(QIODevice::WriteOnly);
}

void HeldPlayer::releaseAll() {
    release(QStringLiteral("all"));
}

ProgramFolder::ProgramFolder() {
    const QString bin = QStringLiteral(CLIPVANE_BIN_DIR);
    m_ok = m_dir.isValid() &&
           QFile::link(bin + QStringLiteral("/mp.dll"), path() + QStringLiteral("/mp.dll")) &&
           QFile::link(bin + QStringLiteral("/fp.dll"), path() + QStringLiteral("/fp.dll"));
    setProgramFolder(path());
}

ProgramFolder::~ProgramFolder() {
    setProgramFolder(QString());
}

bool makeClip(const QString& path, const QStringList& inputArgs, const QStringList& outputArgs) {
    QProcess ffmpeg;
    QStringList args = {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-y"),
                        QStringLiteral("-nostdin")};
    args << inputArgs << outputArgs << path;
    ffmpeg.setProcessChannelMode(QProcess::MergedChannels);
    ffmpeg.start(QStringLiteral("ffmpeg"), args);
    if (!ffmpeg.waitForFinished(120000) || ffmpeg.exitCode() != 0) {
        qWarning() << "ffmpeg failed:" << ffmpeg.readAll();
        return false;
    }
    return true;
}

bool makeStandardClip(const QString& path, double seconds, const QString& size) {
    const QString t = QString::number(seconds);
    return makeClip(path,
                    {"-f", "lavfi", "-i", "testsrc=size=" + size + ":rate=25", "-f", "lavfi", "-i",
                     "sine=frequency=440:sample_rate=44100", "-t", t},
                    {"-c:v", "mpeg4", "-c:a", "libmp3lame", "-ac", "2", "-f", "avi"});
}

QByteArray contents(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QJsonObject probeMedia(const QString& path) {
    QProcess ffprobe;
    ffprobe.start(QStringLiteral("ffprobe"), {"-v", "error", "-show_streams", "-show_format",
                                              "-count_frames", "-of", "json", path});
    if (!ffprobe.waitForFinished(120000))
        return {};
    return QJsonDocument::fromJson(ffprobe.readAllStandardOutput()).object();
}

QJsonObject streamOf(const QJsonObject& probe, const QString& type) {
    for (const QJsonValue& s : probe.value("streams").toArray()) {
        if (s.toObject().value("codec_type").toString() == type)
            return s.toObject();
    }
    return {};
}

QStringList hostileNames() {
    return {
        QStringLiteral("with space.avi"),
        QStringLiteral("quote\"inside.avi"),
        QStringLiteral("dollar $HOME;rm -rf x.avi"),
        QStringLiteral("-leading dash.avi"),
        QStringLiteral("back\\slash\\.avi"),
        QStringLiteral("ünïcødé 映像 ñ.avi"),
        QStringLiteral("star*and?.avi"),
        QStringLiteral("new\nline.avi"),
        QStringLiteral("tick'`x`.avi"),
    };
}

bool processAlive(qint64 pid) {
    if (pid <= 0)
        return false;
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return false;
    const QByteArray text = stat.readAll();
    const qsizetype close = text.lastIndexOf(')');
    return close >= 0 && close + 2 < text.size() && text.at(close + 2) != 'Z';
}

QString keyRecord(qint64 pid, const QString& tool, ToolKey key) {
    static const char* names[] = {"pause", "back", "forward", "quit", "step"};
    return QStringLiteral("%1:%2:%3").arg(tool).arg(pid).arg(names[static_cast<int>(key)]);
}

} // namespace clipvane::test
