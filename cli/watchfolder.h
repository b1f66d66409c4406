#pragma once

#include "cli/headlessconverter.h"

#include <QDateTime>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QHash>
#include <QObject>
#include <QSet>
#include <QString>
#include <QTimer>

namespace clipvane {

// Converts every new or changed file of a folder once it has stopped growing. The folder is
// watched (inotify, through QFileSystemWatcher); a file is taken when two looks a stable
// interval apart find the same size and time. Hidden files (partial outputs, the record) and
// the outputs it wrote are left alone. What it converted is kept in a record file, one JSON
// object per line, so a restart takes only files that are new or have changed since.
class WatchFolder : public QObject {
    Q_OBJECT
public:
    WatchFolder(const QString& folder, const QString& recordFile, int stableMs,
                HeadlessConverter* converter, QObject* parent = nullptr);

    // Reads the record and starts watching; false (why says it) when the folder cannot be.
    bool start(QString* why);
    // The record beside the watched files, unless another is given.
    static QString defaultRecord(const QString& folder);
    // How many looks a file may keep changing before it is said to be still growing.
    static constexpr int kGrowingLooks = 120;

signals:
    void log(const QString& line);

private:
    struct Seen {
        qint64 size = -1;
        QDateTime modified;
        int changingLooks = 0;
        bool saidGrowing = false;
    };
    void scan();
    void look();
    bool isOwnOrDone(const QString& path, const QFileInfo& info) const;
    void record(const FileResult& result);

    QString m_folder;
    QString m_recordFile;
    HeadlessConverter* m_converter;
    QFileSystemWatcher m_watcher;
    QTimer m_looks;
    QHash<QString, Seen> m_candidates;
    // Files handed to the converter, with their size and time then.
    QHash<QString, std::pair<qint64, qint64>> m_converting;
    QHash<QString, std::pair<qint64, qint64>> m_done; // from the record
    QSet<QString> m_outputs;                          // what the record says it wrote
};

} // namespace clipvane
