#include "base/apppaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <unistd.h>

namespace clipvane {
namespace {
QString& folderOverride() {
    static QString folder;
    return folder;
}

QString xdgFolder(const char* variable, const char* fallbackUnderHome) {
    QString base = qEnvironmentVariable(variable);
    if (base.isEmpty() || !QDir::isAbsolutePath(base))
        base = QDir::homePath() + QLatin1Char('/') + QLatin1String(fallbackUnderHome);
    return base + QStringLiteral("/clipvane");
}
} // namespace

QString programFolder() {
    if (!folderOverride().isEmpty())
        return folderOverride();
    return QCoreApplication::applicationDirPath();
}

void setProgramFolder(const QString& folder) {
    folderOverride() = folder;
}

QString programFolderWithSlash() {
    QString folder = programFolder();
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    return folder;
}

bool programFolderIsPrivate() {
    // An installed program folder is shared, whoever may write to it (root can write
    // anywhere): the install lays a marker there.
    const QString folder = programFolder();
    const QFileInfo info(folder);
    return info.isDir() && info.isWritable() &&
           !QFileInfo::exists(folder + QStringLiteral("/") + QLatin1String(kInstalledMarker));
}

QString settingsFilePath() {
    const QString folder = programFolder();
    if (programFolderIsPrivate())
        return folder + QStringLiteral("/settings.dat");
    const QString config = xdgFolder("XDG_CONFIG_HOME", ".config");
    QDir().mkpath(config);
    return config + QStringLiteral("/settings.dat");
}

QString defaultOutputFolder() {
    const QString folder = programFolder();
    if (programFolderIsPrivate())
        return folder;
    const QString movies = QStandardPaths::writableLocation(QStandardPaths::MoviesLocation);
    if (!movies.isEmpty() && QFileInfo(movies).isDir())
        return movies;
    return QDir::homePath();
}

namespace {
bool usableFolder(const QString& folder) {
    if (!QDir().mkpath(folder))
        return false;
    const QFileInfo info(folder);
    return info.isDir() && info.isWritable();
}
} // namespace

QString cacheFolder() {
    const QString cache = xdgFolder("XDG_CACHE_HOME", ".cache");
    if (usableFolder(cache))
        return cache;
    // An unusable cache: a private folder of our own under the temporary folder.
    const QString fallback =
        QDir::tempPath() + QStringLiteral("/clipvane-%1").arg(static_cast<qint64>(::getuid()));
    if (usableFolder(fallback)) {
        QFile::setPermissions(fallback, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        const QFileInfo info(fallback);
        if (info.ownerId() == ::getuid() && !info.isSymLink())
            return fallback;
    }
    return QString();
}

} // namespace clipvane
