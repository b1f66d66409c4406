#pragma once

#include <QCoreApplication>
#include <QString>
#include <QTemporaryDir>

namespace clipvane {

// What is known of a file before any tool looks at it, and the private folders that give an
// awkwardly named file a plain name for the tools.

// Whether a path stands for a name that is not valid UTF-8: the program got it with
// replacement characters, and no file has that name.
bool nameNotUtf8(const QString& path);
inline constexpr const char* kNotUtf8Note = QT_TRANSLATE_NOOP(
    "MediaProbe", "This file's name is not valid UTF-8; rename it to convert it.");
// kNotUtf8Note in the user's language.
QString notUtf8Note();

// Why a path cannot be a video file at all (missing, a folder, unreadable, empty, a name that
// is not UTF-8), in words for the user; empty when it may be one. Only a regular file is
// opened, so a pipe never holds the caller.
QString fileProblem(const QString& path);

// Whether a name would confuse the tools' command lines or output: a line break or control
// character could pass for a line of the output, and a leading dash for an option.
bool needsSafeName(const QString& path);

// A plain-named link ("input", keeping a plain ending) to a file, in a private folder of the
// temporary folder named for this process (kProbeFolderPrefix<pid>-XXXXXX). The folder and
// the link go with the object.
class SafeLink {
public:
    explicit SafeLink(const QString& path);
    // Empty when no link could be made.
    QString path() const { return m_link; }

private:
    QTemporaryDir m_folder;
    QString m_link;
};

// The private folders are named for the program's process: those of programs no longer
// running (killed during a probe) are removed at start-up. Returns how many were removed.
inline constexpr const char* kProbeFolderPrefix = "clipvane-probe-";
int removeStaleProbeFolders();

} // namespace clipvane
