#include "cli/watchfolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>

namespace clipvane {
namespace {
constexpr const char* kRecordName = ".clipvane-watch";

qint64 stamp(const QFileInfo& info) {
    return info.lastModified().toMSecsSinceEpoch();
}
} // namespace

WatchFolder::WatchFolder(const QString& folder, const QString& recordFile, int stableMs,
                         HeadlessConverter* converter, QObject* parent)
    : QObject(parent), m_folder(QDir(folder).absolutePath()),
      m_recordFile(recordFile.isEmpty() ? defaultRecord(folder) : recordFile),
      m_converter(converter) {
    m_looks.setInterval(std::max(1, stableMs));
    connect(&m_looks, &QTimer::timeout, this, &WatchFolder::look);
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this, &WatchFolder::scan);
    connect(m_converter, &HeadlessConverter::fileDone, this, &WatchFolder::record);
}

QString WatchFolder::defaultRecord(const QString& folder) {
    return QDir(folder).absoluteFilePath(QLatin1String(kRecordName));
}

bool WatchFolder::start(QString* why) {
    if (!QFileInfo(m_folder).isDir()) {
        *why = QStringLiteral("%1 is not a folder").arg(m_folder);
        return false;
    }
    QFile file(m_recordFile);
    if (file.open(QIODevice::ReadOnly)) {
        while (!file.atEnd()) {
            const QJsonObject entry = QJsonDocument::fromJson(file.readLine()).object();
            const QString input = entry.value(QLatin1String("input")).toString();
            if (input.isEmpty())
                continue; // a line cut short when the program was killed
            m_done.insert(input, {qint64(entry.value(QLatin1String("size")).toDouble()),
                                  qint64(entry.value(QLatin1String("modified")).toDouble())});
            if (const QString out = entry.value(QLatin1String("output")).toString(); !out.isEmpty())
                m_outputs.insert(out);
        }
    }
    file.close();
    if (!file.open(QIODevice::Append)) {
        *why = QStringLiteral("the record %1 cannot be written: %2")
                   .arg(m_recordFile, file.errorString());
        return false;
    }
    if (!m_watcher.addPath(m_folder)) {
        *why = QStringLiteral("%1 cannot be watched").arg(m_folder);
        return false;
    }
    scan();
    return true;
}

bool WatchFolder::isOwnOrDone(const QString& path, const QFileInfo& info) const {
    if (m_outputs.contains(path) || m_converting.contains(path) || path == m_recordFile)
        return true;
    const auto done = m_done.find(path);
    return done != m_done.end() && done->first == info.size() && done->second == stamp(info);
}

void WatchFolder::scan() {
    const QFileInfoList files = QDir(m_folder).entryInfoList(QDir::Files | QDir::NoDotAndDotDot);
    for (const QFileInfo& info : files) {
        const QString path = info.absoluteFilePath();
        // Hidden: partial outputs being written, the record, the user's own hidden files.
        if (info.fileName().startsWith(QLatin1Char('.')) || m_candidates.contains(path) ||
            isOwnOrDone(path, info))
            continue;
        m_candidates.insert(path, Seen{info.size(), info.lastModified()});
    }
    if (!m_candidates.isEmpty() && !m_looks.isActive())
        m_looks.start();
}

void WatchFolder::look() {
    for (auto it = m_candidates.begin(); it != m_candidates.end();) {
        const QFileInfo info(it.key());
        if (!info.exists() || isOwnOrDone(it.key(), info)) {
            it = m_candidates.erase(it);
            continue;
        }
        Seen& seen = it.value();
        if (info.size() == seen.size && info.lastModified() == seen.modified && seen.size > 0) {
            m_converting.insert(it.key(), {info.size(), stamp(info)});
            m_converter->add(it.key());
            it = m_candidates.erase(it);
            continue;
        }
        seen.size = info.size();
        seen.modified = info.lastModified();
        if (++seen.changingLooks >= kGrowingLooks && !seen.saidGrowing) {
            seen.saidGrowing = true;
            emit log(QStringLiteral("%1 is still growing; it is left alone until it stops")
                         .arg(it.key()));
        }
        ++it;
    }
    if (m_candidates.isEmpty())
        m_looks.stop();
    else
        scan(); // a missed change of the folder is caught here
}

void WatchFolder::record(const FileResult& result) {
    const auto converting = m_converting.find(result.input);
    if (converting == m_converting.end())
        return;
    const auto [size, modified] = *converting;
    m_converting.erase(converting);
    // A cancelled file is taken again at the next start.
    if (result.status == QLatin1String("Cancel"))
        return;
    m_done.insert(result.input, {size, modified});
    if (!result.output.isEmpty())
        m_outputs.insert(result.output);
    const QJsonObject entry{{QStringLiteral("input"), result.input},
                            {QStringLiteral("size"), double(size)},
                            {QStringLiteral("modified"), double(modified)},
                            {QStringLiteral("status"), result.status},
                            {QStringLiteral("output"), result.output}};
    QFile file(m_recordFile);
    if (!file.open(QIODevice::Append) ||
        file.write(QJsonDocument(entry).toJson(QJsonDocument::Compact) + '\n') < 0)
        emit log(QStringLiteral("the record %1 cannot be written: %2")
                     .arg(m_recordFile, file.errorString()));
    // A file that changed while it was converted is taken again.
    scan();
}

} // namespace clipvane
