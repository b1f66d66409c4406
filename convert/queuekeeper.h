#pragma once

#include "convert/itemfinisher.h"
#include "convert/queuefile.h"
#include "sources/sourcelist.h"

#include <QHash>
#include <QJsonObject>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <memory>

class QLockFile;

namespace clipvane {

class BatchRun;

// Keeps the source list in the queue file (see queuefile.h) for one window: restores it as
// the window opens and writes it after every change, at most once per turn of the event loop
// (so a crash or a kill loses nothing the window showed). What the last session left under
// way is settled as the window opens:
// - an item a finisher still works on stays "Processing" and is left out of runs until the
//   finisher's outcome comes in (looked for every second);
// - an item whose finisher has gone without an outcome (killed) is seen through here: its
//   file is checked and named, or removed with the reason in the row, never silently;
// - an item under way when the window itself was killed has its encoder stopped and its
//   partial file removed, and waits to be converted again.
// Only one window keeps the queue; a second one works without keeping its list.
class QueueKeeper : public QObject {
    Q_OBJECT
public:
    QueueKeeper(SourceList* list, BatchRun* run, QObject* parent = nullptr);
    ~QueueKeeper() override;

    // Takes the queue file: its rows are put into the list and from then on it follows the
    // list. False when another window keeps it. What the user should know (rows restored, a
    // damaged file set aside) comes as notice().
    bool open(const QString& queueFile);
    bool isKeeping() const { return m_lock != nullptr; }
    QString queueId() const { return m_queueId; }
    // Writes the file at once (as the program quits).
    void saveNow();
    // A row another process, or a look at what an earlier session left, is still seeing
    // through.
    bool isHeld(SourceList::Id id) const { return m_held.contains(id); }
    int heldCount() const { return static_cast<int>(m_held.size()); }

    // How often the finishers of an earlier session are looked at.
    static constexpr int kWatchMs = 1000;

signals:
    void notice(const QString& text);
    // A row that was held has its outcome.
    void settled(clipvane::SourceList::Id id);

private:
    struct Held {
        HandedOverItem item;
        qint64 finisher = 0; // the finisher's process id (0: none known)
        qint64 finisherStart = -1;
        bool handedOver = false; // given to a finisher (rather than left by a killed window)
        QPointer<ItemFinisher> here;
    };

    void scheduleSave();
    bool save();
    void settle(SourceList::Id id, const QJsonObject& underWay);
    void seeThroughHere(SourceList::Id id);
    // Takes in the outcome files the finishers wrote; how many applied.
    int takeInOutcomes();
    void applyOutcome(const ItemOutcome& outcome);
    void watch();
    void onHandedOver(qint64 finisher, const QList<HandedOverItem>& items);

    SourceList* m_list;
    BatchRun* m_run;
    QString m_path;
    QString m_outcomes;
    QString m_queueId;
    std::unique_ptr<QLockFile> m_lock;
    QHash<SourceList::Id, QJsonObject> m_extra; // keys of the file this program does not know
    QHash<SourceList::Id, Held> m_held;
    QTimer m_saveSoon;
    QTimer m_watch;
    bool m_saveFailureSaid = false;
};

} // namespace clipvane
