#pragma once

#include <QString>
#include <optional>

namespace clipvane {

// Writing an output so that nothing is lost: the encoder writes a hidden partial file beside
// the output, created here exclusively (so the name is reserved against a second window or
// program), which takes the output's name only once it has been checked.

// The hidden name an output is written under: ".NAME.partial.EXT" beside "NAME.EXT" (a name
// without an extension: ".NAME.partial").
QString partialPath(const QString& outputPath);
// How many bytes the partial name adds to the output's name.
inline constexpr int kPartialNameExtraBytes = 9;

// What tells one file from another under the same name: its device and inode, and for a file
// rewritten in place, its modification time and size.
struct FileIdentity {
    quint64 device = 0;
    quint64 inode = 0;
    qint64 modifiedNs = 0;
    qint64 size = 0;
    bool sameFileAs(const FileIdentity& other) const {
        return device == other.device && inode == other.inode;
    }
    bool operator==(const FileIdentity& other) const = default;
};

// The identity of what a name holds now (a symbolic link itself, not what it points to), or
// nothing when the name is free.
std::optional<FileIdentity> identityOf(const QString& path);

// Creates an empty file under a name that must be free. Its identity, or nothing with the
// reason in *error ("exists" when the name was taken).
std::optional<FileIdentity> createExclusively(const QString& path, int* error = nullptr);

// Moves a file to a name without ever replacing what is there: 0, or the errno (EEXIST when
// the name is taken).
int moveWithoutReplacing(const QString& from, const QString& to);

// Where a checked output ended up, or why it could not be given its name.
struct Publication {
    QString path;    // the output's name now
    QString failure; // empty when the file has its name
    QString note;    // why it has another name than the one chosen, if it has
};

struct OutputNaming;

// Gives a checked partial file its output's name. An overwrite replaces the file under that
// name only when it is still the one found there when the item began (oldTarget; nothing
// when the name was free). Any other file that has taken the name meanwhile stays, as does
// any file in keep mode: the new file then takes the next free name by the same rules
// (naming, with overwriting off).
Publication publishOutput(const QString& partial, const QString& output, bool overwrite,
                          const std::optional<FileIdentity>& oldTarget, const OutputNaming& naming);

// Removes the file under path only when it is still the one with that identity; a file
// someone else put under that name stays.
bool removeIfSame(const QString& path, const FileIdentity& identity);

// Keeps a file open while a run needs it (a partial file, from its creation to its new name
// or its removal): an open partial file belongs to someone, and is never taken for a
// leftover.
class FileHold {
public:
    FileHold() = default;
    explicit FileHold(const QString& path);
    ~FileHold();
    FileHold(FileHold&& other) noexcept;
    FileHold& operator=(FileHold&& other) noexcept;
    FileHold(const FileHold&) = delete;
    FileHold& operator=(const FileHold&) = delete;
    void release();

private:
    int m_fd = -1;
};

// Whether the name is that of a hidden partial file (".NAME.partial.EXT", also the numbered
// ".NAME.partialN.EXT" of older versions).
bool isPartialName(const QString& fileName);

// Which of the files any process of this user has open, in their order: one walk of /proc for
// them all. When /proc cannot be read, every file counts as open.
QList<bool> openByAnyProcess(const QList<FileIdentity>& files);

// Whether the folder lies on a file system other machines write too (NFS, SMB, CephFS, AFS,
// FUSE mounts such as sshfs or GlusterFS): what holds a file open there may be elsewhere.
bool sharedWithOtherMachines(const QString& folder);
// On such a file system a partial file written to this recently may be another machine's.
inline constexpr qint64 kQuietLeftoverSeconds = 600;

// Removes the partial files in the folders that nothing holds open any more: what an
// interrupted run (a killed program, a logout) left behind. On a file system shared with other
// machines, only those no one has written to for kQuietLeftoverSeconds (an encoder that gets
// nowhere for far less is stopped). What holds files open is looked up once, and only when
// there are partial files. How many were removed.
int removeLeftoverPartials(const QStringList& folders);

} // namespace clipvane
