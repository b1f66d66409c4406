#include "convert/outputfiles.h"

#include "convert/encodercommand.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>
#include <utility>

#ifndef RENAME_NOREPLACE
#define RENAME_NOREPLACE (1 << 0)
#endif

namespace clipvane {
namespace {
QByteArray native(const QString& path) {
    return QFile::encodeName(path);
}

FileIdentity identityFromStat(const struct stat& st) {
    FileIdentity id;
    id.device = st.st_dev;
    id.inode = st.st_ino;
    id.modifiedNs = qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    id.size = st.st_size;
    return id;
}
} // namespace

QString partialPath(const QString& outputPath) {
    const qsizetype slash = outputPath.lastIndexOf(QLatin1Char('/'));
    const QString folder = outputPath.left(slash + 1);
    const QString name = outputPath.mid(slash + 1);
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot <= 0)
        return folder + QLatin1Char('.') + name + QStringLiteral(".partial");
    return folder + QLatin1Char('.') + name.left(dot) + QStringLiteral(".partial") + name.mid(dot);
}

std::optional<FileIdentity> identityOf(const QString& path) {
    struct stat st {};
    if (::lstat(native(path).constData(), &st) != 0)
        return std::nullopt;
    return identityFromStat(st);
}

std::optional<FileIdentity> createExclusively(const QString& path, int* error) {
    const int fd = ::open(native(path).constData(),
                          O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
    if (fd < 0) {
        if (error)
            *error = errno;
        return std::nullopt;
    }
    struct stat st {};
    const bool known = ::fstat(fd, &st) == 0;
    if (!known && error)
        *error = errno;
    ::close(fd);
    if (!known) {
        ::unlink(native(path).constData());
        return std::nullopt;
    }
    return identityFromStat(st);
}

int moveWithoutReplacing(const QString& from, const QString& to) {
    const QByteArray source = native(from);
    const QByteArray target = native(to);
    if (::renameat2(AT_FDCWD, source.constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE) ==
        0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP)
        return errno;
    // A file system without the flag: a second link fails, as the flag would, when the name
    // is taken; then the old name goes.
    if (::link(source.constData(), target.constData()) == 0) {
        ::unlink(source.constData());
        return 0;
    }
    if (errno != EPERM && errno != ENOTSUP && errno != ENOSYS)
        return errno;
    // Nor links (FAT, exFAT): a look, then a plain rename.
    if (identityOf(to))
        return EEXIST;
    return std::rename(source.constData(), target.constData()) == 0 ? 0 : errno;
}

Publication publishOutput(const QString& partial, const QString& output, bool overwrite,
                          const std::optional<FileIdentity>& oldTarget,
                          const OutputNaming& naming) {
    Publication result{output, {}, {}};
    const auto why = [](int error) { return QString::fromLocal8Bit(std::strerror(error)); };
    if (overwrite && oldTarget && identityOf(output) == oldTarget) {
        if (std::rename(native(partial).constData(), native(output).constData()) != 0)
            result.failure = QCoreApplication::translate(
                                 "OutputFiles", "The new file could not replace the old one: %1.")
                                 .arg(why(errno));
        return result;
    }
    OutputNaming keep = naming;
    keep.overwrite = false;
    const qsizetype slash = output.lastIndexOf(QLatin1Char('/'));
    const qsizetype dot = output.lastIndexOf(QLatin1Char('.'));
    const QString extension = dot > slash ? output.mid(dot) : QString();
    constexpr int kAttempts = 100;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        const int error = moveWithoutReplacing(partial, result.path);
        if (error == 0) {
            if (result.path != output)
                result.note =
                    QCoreApplication::translate(
                        "OutputFiles", "Saved as %1 because a file named %2 appeared while "
                                       "this one was being converted.")
                        .arg(result.path.mid(slash + 1), output.mid(slash + 1));
            return result;
        }
        if (error != EEXIST) {
            result.failure = QCoreApplication::translate(
                                 "OutputFiles", "The new file could not be saved as %1: %2.")
                                 .arg(result.path, why(error));
            return result;
        }
        // Someone else's file took the name: the next one, as if it had been there before.
        result.path =
            chooseOutputName(output.left(slash), outputBaseName(output), extension, keep).path;
    }
    result.failure = QCoreApplication::translate(
                         "OutputFiles", "The new file could not be saved as %1: every name was "
                                        "taken.")
                         .arg(output);
    return result;
}

bool removeIfSame(const QString& path, const FileIdentity& identity) {
    const std::optional<FileIdentity> now = identityOf(path);
    if (!now || !now->sameFileAs(identity))
        return false;
    return ::unlink(native(path).constData()) == 0;
}

FileHold::FileHold(const QString& path)
    : m_fd(::open(native(path).constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW)) {}

FileHold::~FileHold() {
    release();
}

FileHold::FileHold(FileHold&& other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}

FileHold& FileHold::operator=(FileHold&& other) noexcept {
    if (this != &other) {
        release();
        m_fd = std::exchange(other.m_fd, -1);
    }
    return *this;
}

void FileHold::release() {
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

bool isPartialName(const QString& fileName) {
    static const QRegularExpression pattern(QStringLiteral("^\\..+\\.partial\\d*(\\.[^.]*)?$"));
    return pattern.match(fileName).hasMatch();
}

QList<bool> openByAnyProcess(const QList<FileIdentity>& files) {
    QList<bool> open(files.size(), false);
    if (files.isEmpty())
        return open;
    DIR* proc = ::opendir("/proc");
    if (!proc)
        return QList<bool>(files.size(), true); // nothing can be told: assume someone has them
    qsizetype left = files.size();
    while (const dirent* process = ::readdir(proc)) {
        if (left == 0)
            break;
        if (process->d_name[0] < '1' || process->d_name[0] > '9')
            continue;
        const QByteArray fds = QByteArray("/proc/") + process->d_name + "/fd";
        DIR* dir = ::opendir(fds.constData());
        if (!dir)
            continue; // gone, or another user's
        while (const dirent* fd = ::readdir(dir)) {
            if (fd->d_name[0] == '.')
                continue;
            struct stat st {};
            if (::fstatat(::dirfd(dir), fd->d_name, &st, 0) != 0)
                continue;
            for (qsizetype i = 0; i < files.size(); ++i) {
                if (!open[i] && st.st_dev == files[i].device && st.st_ino == files[i].inode) {
                    open[i] = true;
                    --left;
                }
            }
        }
        ::closedir(dir);
    }
    ::closedir(proc);
    return open;
}

bool sharedWithOtherMachines(const QString& folder) {
    struct statfs fs {};
    if (::statfs(native(folder).constData(), &fs) != 0)
        return false;
    // The magic numbers of linux/magic.h and the network file systems' own headers.
    static constexpr unsigned long kShared[] = {
        0x6969,     // NFS
        0x517b,     // SMB
        0xff534d42, // CIFS
        0xfe534d42, // SMB2
        0x00c36400, // Ceph
        0x5346414f, // AFS
        0x65735546, // FUSE (sshfs, GlusterFS, ...)
        0x01021997, // 9P
    };
    const auto type = static_cast<unsigned long>(fs.f_type) & 0xffffffffUL;
    return std::find(std::begin(kShared), std::end(kShared), type) != std::end(kShared);
}

int removeLeftoverPartials(const QStringList& folders) {
    struct Leftover {
        QString path;
        FileIdentity file;
        bool shared = false;
    };
    QList<Leftover> leftovers;
    for (const QString& folder : folders) {
        const QStringList names =
            QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::NoSymLinks | QDir::System);
        std::optional<bool> shared;
        for (const QString& name : names) {
            if (!isPartialName(name))
                continue;
            const QString path = folder + QLatin1Char('/') + name;
            if (const std::optional<FileIdentity> file = identityOf(path)) {
                if (!shared)
                    shared = sharedWithOtherMachines(folder);
                leftovers.append({path, *file, *shared});
            }
        }
    }
    QList<FileIdentity> files;
    for (const Leftover& leftover : std::as_const(leftovers))
        files.append(leftover.file);
    const QList<bool> open = openByAnyProcess(files);
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    int removed = 0;
    for (qsizetype i = 0; i < leftovers.size(); ++i) {
        const Leftover& leftover = leftovers.at(i);
        if (open.at(i))
            continue;
        // Another machine's encoder may be writing it: /proc sees only this one's.
        if (leftover.shared && now - QFileInfo(leftover.path).lastModified().toSecsSinceEpoch() <
                                   kQuietLeftoverSeconds)
            continue;
        if (removeIfSame(leftover.path, leftover.file))
            ++removed;
    }
    return removed;
}

} // namespace clipvane
