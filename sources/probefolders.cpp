#include "sources/probefolders.h"

#include "sources/fileprobe.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <cerrno>
#include <csignal>
#include <unistd.h>

namespace clipvane {

bool nameNotUtf8(const QString& path) {
    // Bytes that are not UTF-8 reach the program as replacement characters; a real file
    // whose name holds the character itself is found under it.
    return path.contains(QChar::ReplacementCharacter) && !QFileInfo(path).exists() &&
           !QFileInfo(path).isSymLink();
}

QString notUtf8Note() {
    return QCoreApplication::translate("MediaProbe", kNotUtf8Note);
}

QString fileProblem(const QString& path) {
    const QFileInfo info(path);
    if (nameNotUtf8(path))
        return notUtf8Note();
    if (!info.exists())
        return QCoreApplication::translate(
            "MediaProbe", "Clipvane cannot find this file: it may have been moved, renamed or "
                          "deleted.");
    if (info.isDir())
        return QCoreApplication::translate("MediaProbe", "This is a folder, not a video file.");
    // Only a regular file is opened here: opening a pipe would wait for a writer.
    if (!info.isFile())
        return {};
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QCoreApplication::translate("MediaProbe", "Clipvane cannot read this file (%1).")
            .arg(file.errorString());
    if (file.size() == 0)
        return QCoreApplication::translate("MediaProbe", "This file is empty (0 bytes).");
    return {};
}

bool needsSafeName(const QString& path) {
    for (const QChar c : path) {
        const QChar::Category category = c.category();
        if (category == QChar::Other_Control || category == QChar::Separator_Line ||
            category == QChar::Separator_Paragraph)
            return true;
    }
    return path.startsWith(QLatin1Char('-'));
}

SafeLink::SafeLink(const QString& path)
    // Named for this process, so that a later start can tell the folder of one that was
    // killed (removeStaleProbeFolders).
    : m_folder(QDir::tempPath() + QStringLiteral("/%1%2-XXXXXX")
                                      .arg(QLatin1String(kProbeFolderPrefix))
                                      .arg(QCoreApplication::applicationPid())) {
    if (!m_folder.isValid())
        return;
    // Keep a plain ending: some formats are known by it.
    static const QRegularExpression plainSuffix(QStringLiteral("^[A-Za-z0-9]{1,8}$"));
    const QString suffix = QFileInfo(path).suffix();
    QString link = m_folder.filePath(QStringLiteral("input"));
    if (plainSuffix.match(suffix).hasMatch())
        link += QLatin1Char('.') + suffix;
    if (QFile::link(QFileInfo(path).absoluteFilePath(), link))
        m_link = link;
}

int removeStaleProbeFolders() {
    int removed = 0;
    const QFileInfoList folders =
        QDir(QDir::tempPath())
            .entryInfoList({QLatin1String(kProbeFolderPrefix) + QLatin1Char('*')},
                           QDir::Dirs | QDir::Hidden | QDir::NoSymLinks);
    for (const QFileInfo& folder : folders) {
        // clipvane-probe-<process id>-XXXXXX: only ours, and only of a process that is gone.
        // Older versions named it clipvane-probe-XXXXXX: such a folder is stale once it is
        // older than any probe can last.
        if (folder.ownerId() != ::getuid())
            continue;
        const QString rest = folder.fileName().mid(qsizetype(qstrlen(kProbeFolderPrefix)));
        bool numbered = false;
        const qint64 owner = rest.section(QLatin1Char('-'), 0, 0).toLongLong(&numbered);
        if (numbered && owner > 0 && rest.contains(QLatin1Char('-'))) {
            if (::kill(static_cast<pid_t>(owner), 0) == 0 || errno != ESRCH)
                continue;
        } else if (folder.lastModified().msecsTo(QDateTime::currentDateTime()) <
                   10 * kProbeTimeoutMs) {
            continue;
        }
        removed += QDir(folder.absoluteFilePath()).removeRecursively() ? 1 : 0;
    }
    return removed;
}

} // namespace clipvane
