#pragma once

#include "convert/outputfiles.h"
#include "convert/queuefile.h"
#include "process/progresswatch.h"
#include "process/stopsequence.h"

#include <QElapsedTimer>
#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>
#include <functional>
#include <optional>

namespace clipvane {

// An item still under way when the program quits. Its encoder goes on to the end of its file,
// and a finisher (the program started again, without a window) sees the item through as the
// batch would have: it ends the encoder should it stop making progress, checks the output
// and gives it its name, or removes the hidden file the item wrote. Asked to stop, it ends
// the encoder at once and removes that file.
struct HandedOverItem {
    quint64 rowId = 0;        // the row in the queue file
    qint64 encoderId = 0;     // 0: the encoder had already ended well
    qint64 encoderStart = -1; // when it started (processStartTime), so a reused id is not it
    QString logFile;
    QString partial; // the hidden file it writes, and what the item created there
    FileIdentity partialFile;
    QString output;
    bool overwrite = false;
    std::optional<FileIdentity> oldOutput;
    QString input;
    qint64 clipSeconds = 0;
    bool expectVideo = true;
    int stallMs = 60000;
    int checkMs = 60000;
    bool stop = false; // end the encoder and remove its file rather than finish it
    // Where the outcome is recorded (see queuefile.h); empty: nowhere.
    QString outcomes;
    QString queue;
};

QJsonObject handedOverJson(const HandedOverItem& item);
HandedOverItem handedOverFromJson(const QJsonObject& o);

// Sees one item through (see HandedOverItem), in a finisher or, for what an earlier session
// left, in the window itself.
class ItemFinisher : public QObject {
    Q_OBJECT
public:
    explicit ItemFinisher(const HandedOverItem& item, QObject* parent = nullptr);
    void start();

signals:
    void done(const clipvane::ItemOutcome& outcome);

private:
    bool encoderRuns() const;
    QByteArray logTail() const;
    void poll();
    void afterEncoder();
    void finish(const QString& failure);

    HandedOverItem m_item;
    FileHold m_hold; // the partial file is this finisher's while it works
    QTimer m_poll;
    StopSequence m_stop;
    QElapsedTimer m_clock;
    ProgressWatch m_progress;
    bool m_stalled = false;
    bool m_checking = false;
};

// Starts a finisher for the items, detached, and returns whether it started (and in
// *processId its process id).
bool startFinisher(const QList<HandedOverItem>& items, qint64* processId = nullptr);

// When this process was started as a finisher: does its work and returns the exit code.
// Nothing otherwise. For the start of main(), before anything else; setUp runs once the
// application object exists (the program's translations).
std::optional<int> runAsFinisher(int argc, char** argv, const std::function<void()>& setUp = {});

} // namespace clipvane
