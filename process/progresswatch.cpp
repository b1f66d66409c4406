#include "process/progresswatch.h"

#include <QByteArray>
#include <QFile>
#include <QFileInfo>

namespace clipvane {

qint64 fileBytes(const QString& path) {
    const QFileInfo info(path);
    return info.exists() ? info.size() : -1;
}

qint64 bytesReadBy(qint64 processId) {
    if (processId <= 0)
        return -1;
    QFile io(QStringLiteral("/proc/%1/io").arg(processId));
    if (!io.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : io.readAll().split('\n')) {
        if (line.startsWith("rchar:")) {
            bool ok = false;
            const qint64 n = line.mid(6).trimmed().toLongLong(&ok);
            return ok ? n : -1;
        }
    }
    return -1;
}

qint64 processStartTime(qint64 processId) {
    if (processId <= 0)
        return -1;
    QFile stat(QStringLiteral("/proc/%1/stat").arg(processId));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray line = stat.readAll();
    // "pid (name) state ppid ...": the name may hold blanks and parentheses.
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    // After the name: the state is the 3rd field of the line, the start time the 22nd.
    if (fields.size() < 20 || fields.at(0) == "Z" || fields.at(0) == "X")
        return -1;
    bool ok = false;
    const qint64 start = fields.at(19).toLongLong(&ok);
    return ok ? start : -1;
}

void ProgressWatch::restart(qint64 nowMs) {
    m_last = ProgressSample();
    m_movedAtMs = nowMs;
}

qint64 ProgressWatch::stillFor(const ProgressSample& sample, qint64 nowMs) {
    const bool moved = sample.reportedSeconds != m_last.reportedSeconds ||
                       sample.outputBytes != m_last.outputBytes ||
                       sample.bytesRead != m_last.bytesRead;
    m_last = sample;
    if (moved)
        m_movedAtMs = nowMs;
    return nowMs - m_movedAtMs;
}

} // namespace clipvane
