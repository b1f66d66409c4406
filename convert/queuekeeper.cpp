#include "convert/queuekeeper.h"

#include "convert/batchrun.h"
#include "options/profiles.h"
#include "process/progresswatch.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QSaveFile>
#include <QUuid>

namespace clipvane {
namespace {
bool alive(qint64 pid, qint64 started) {
    return pid > 0 && started >= 0 && processStartTime(pid) == started;
}
} // namespace

QueueKeeper::QueueKeeper(SourceList* list, BatchRun* run, QObject* parent)
    : QObject(parent), m_list(list), m_run(run) {
    m_saveSoon.setSingleShot(true);
    m_saveSoon.setInterval(0);
    connect(&m_saveSoon, &QTimer::timeout, this, [this] { save(); });
    m_watch.setInterval(kWatchMs);
    connect(&m_watch, &QTimer::timeout, this, &QueueKeeper::watch);
}

QueueKeeper::~QueueKeeper() {
    if (isKeeping() && m_saveSoon.isActive())
        save();
}

bool QueueKeeper::open(const QString& queueFile) {
    if (isKeeping() || queueFile.isEmpty())
        return isKeeping();
    QDir().mkpath(QFileInfo(queueFile).absolutePath());
    auto lock = std::make_unique<QLockFile>(queueFile + QStringLiteral(".lock"));
    lock->setStaleLockTime(0); // only a lock whose window has gone is stale
    if (!lock->tryLock(0)) {
        if (lock->error() == QLockFile::LockFailedError)
            emit notice(tr("Another Clipvane window keeps the list of files; this window's "
                           "list is not kept when it closes."));
        else
            emit notice(
                tr("The list of files cannot be saved to %1: %2.")
                    .arg(QDir::toNativeSeparators(queueFile), tr("its folder cannot be written")));
        return false;
    }
    m_lock = std::move(lock);
    m_path = queueFile;
    m_outcomes = outcomeFolderOf(queueFile);

    QStringList said;
    std::optional<QueueContents> contents;
    QFile file(queueFile);
    if (file.exists()) {
        QString problem;
        if (!file.open(QIODevice::ReadOnly))
            problem = file.errorString();
        else
            contents = parseQueue(file.readAll(), &problem);
        file.close();
        if (!contents) {
            const QString kept = setAside(queueFile, QStringLiteral("damaged"));
            said << tr("The list of files of the last session (%1) could not be read: "
                       "%2. It was set aside as %3; the list starts empty.")
                        .arg(QDir::toNativeSeparators(queueFile), problem,
                             QDir::toNativeSeparators(kept));
        } else if (contents->badRecords > 0) {
            const QString kept = setAside(queueFile, QStringLiteral("damaged"));
            said << tr("%1 entries of the list of the last session could not be read "
                       "and were left out; the file as it was is kept as %2.")
                        .arg(contents->badRecords)
                        .arg(QDir::toNativeSeparators(kept));
        }
    }
    m_queueId = contents && !contents->queueId.isEmpty()
                    ? contents->queueId
                    : QUuid::createUuid().toString(QUuid::WithoutBraces);
    m_run->recordOutcomesIn(m_outcomes, m_queueId);
    m_run->setHeldElsewhere([this](SourceList::Id id) { return isHeld(id); });

    // The rows, each as it was; what was under way is settled once the finishers' outcomes
    // are in.
    QHash<SourceList::Id, QJsonObject> underWay;
    const int before = m_list->count();
    if (contents) {
        for (const QJsonObject& record : std::as_const(contents->records)) {
            QJsonObject extra;
            SourceList::Item item = itemFromRecord(record, &extra);
            const QString path = item.columns[SourceList::FileName];
            if (!QFileInfo::exists(path))
                item.note = QCoreApplication::translate("clipvane::RunCompletion",
                                                        "Invalid input file name. ") +
                            path;
            if (item.profile)
                item.profile->shown = profileLabel(item.profile->caption);
            SourceList::Id id = m_list->insertItem(m_list->count(), item);
            if (id == 0) { // two records with one id: the second takes a new one
                item.id = 0;
                id = m_list->insertItem(m_list->count(), item);
            }
            if (!extra.isEmpty())
                m_extra.insert(id, extra);
            if (const QJsonObject uw = record.value(QLatin1String("underWay")).toObject();
                !uw.isEmpty())
                underWay.insert(id, uw);
            else if (item.columns[SourceList::Status] == QLatin1String("Processing"))
                m_list->setText(id, SourceList::Status, QLatin1String(BatchRun::kWaitingStatus));
        }
    }
    for (auto it = underWay.cbegin(); it != underWay.cend(); ++it)
        settle(it.key(), it.value());
    takeInOutcomes();
    const QList<SourceList::Id> held = m_held.keys();
    for (SourceList::Id id : held) {
        const Held& h = m_held[id];
        if (h.handedOver && alive(h.finisher, h.finisherStart))
            m_watch.start(); // its finisher is still at work
        else
            seeThroughHere(id);
    }

    const int restored = m_list->count() - before;
    if (restored > 0) {
        int left = 0;
        for (int row = before; row < m_list->count(); ++row) {
            // A row a finisher was given is not left; one a killed window left is.
            const QString status = m_list->textAt(row, SourceList::Status);
            const auto held = m_held.constFind(m_list->idAt(row));
            left += status != QLatin1String("OK") && status != QLatin1String("Fail") &&
                            (held == m_held.cend() || !held->handedOver)
                        ? 1
                        : 0;
        }
        said.prepend(tr("The list of the last session is back: %1 of its %2 files are "
                        "still to be converted.")
                         .arg(left)
                         .arg(restored));
    }

    const auto soon = [this] { scheduleSave(); };
    connect(m_list, &QAbstractItemModel::rowsInserted, this, soon);
    connect(m_list, &QAbstractItemModel::rowsRemoved, this, soon);
    connect(m_list, &QAbstractItemModel::rowsMoved, this, soon);
    connect(m_list, &QAbstractItemModel::dataChanged, this, soon);
    connect(m_list, &QAbstractItemModel::modelReset, this, soon);
    connect(m_run, &BatchRun::itemStarted, this, soon);
    connect(m_run, &BatchRun::itemDone, this, soon);
    connect(m_run, &BatchRun::itemStopped, this, soon);
    connect(m_run, &BatchRun::busyChanged, this, soon);
    connect(m_run, &BatchRun::handedOver, this, &QueueKeeper::onHandedOver);
    save();
    if (!said.isEmpty())
        emit notice(said.join(QLatin1Char(' ')));
    return true;
}

void QueueKeeper::settle(SourceList::Id id, const QJsonObject& underWay) {
    Held held;
    held.item = handedOverFromJson(underWay);
    held.item.rowId = id;
    held.handedOver = underWay.contains(QLatin1String("finisher"));
    held.finisher = underWay.value(QLatin1String("finisher")).toString().toLongLong();
    held.finisherStart = underWay.value(QLatin1String("finisherStart")).toString().toLongLong();
    m_held.insert(id, held);
    m_list->setText(id, SourceList::Status, QStringLiteral("Processing"));
}

void QueueKeeper::seeThroughHere(SourceList::Id id) {
    const auto it = m_held.find(id);
    if (it == m_held.end() || it->here)
        return;
    HandedOverItem item = it->item;
    item.outcomes.clear(); // the outcome comes straight to the row
    // A conversion the window was running when it was killed: nobody asked for it to be
    // finished in the background, so it stops, and the row waits for the next run.
    const bool interrupted = !it->handedOver && item.encoderId > 0 && item.encoderStart >= 0 &&
                             processStartTime(item.encoderId) == item.encoderStart;
    if (interrupted)
        item.stop = true;
    auto* finisher = new ItemFinisher(item, this);
    it->here = finisher;
    connect(finisher, &ItemFinisher::done, this, [this, interrupted](ItemOutcome outcome) {
        if (interrupted) {
            outcome.status = QLatin1String(BatchRun::kWaitingStatus);
            outcome.note = tr("Clipvane ended while this file was being converted; "
                              "the unfinished file was removed. The next run "
                              "converts it again.");
        }
        applyOutcome(outcome);
        save();
    });
    connect(finisher, &ItemFinisher::done, finisher, &QObject::deleteLater);
    QTimer::singleShot(0, finisher, &ItemFinisher::start);
}

int QueueKeeper::takeInOutcomes() {
    QStringList taken;
    int applied = 0;
    for (const OutcomeFile& file : readOutcomes(m_outcomes)) {
        // Another queue's (one that was set aside) can never apply.
        if (file.outcome && file.queueId == m_queueId) {
            applyOutcome(*file.outcome);
            ++applied;
        }
        taken << file.path;
    }
    if (taken.isEmpty())
        return 0;
    // Written into the queue first: an outcome is never lost between the two files.
    if (save()) {
        for (const QString& path : std::as_const(taken))
            QFile::remove(path);
    }
    return applied;
}

void QueueKeeper::applyOutcome(const ItemOutcome& outcome) {
    const SourceList::Id id = outcome.row;
    const bool wasHeld = m_held.remove(id) > 0;
    if (!m_list->contains(id))
        return;
    m_list->setText(id, SourceList::Status, outcome.status);
    m_list->setNote(id, outcome.note);
    if (!outcome.output.isEmpty())
        m_list->setOutputPath(id, outcome.output);
    if (!outcome.log.isEmpty())
        m_list->setLogPath(id, outcome.log);
    if (wasHeld)
        emit settled(id);
}

void QueueKeeper::watch() {
    takeInOutcomes();
    bool waiting = false;
    const QList<SourceList::Id> ids = m_held.keys();
    for (SourceList::Id id : ids) {
        const auto it = m_held.find(id);
        if (it == m_held.end() || it->here)
            continue;
        if (alive(it->finisher, it->finisherStart)) {
            waiting = true;
            continue;
        }
        // Gone: it wrote its outcome before it ended, or it was killed.
        takeInOutcomes();
        if (m_held.contains(id))
            seeThroughHere(id);
    }
    if (!waiting)
        m_watch.stop();
}

void QueueKeeper::onHandedOver(qint64 finisher, const QList<HandedOverItem>& items) {
    // The program ends right after this: the file must say who sees the items through.
    for (const HandedOverItem& item : items) {
        Held held;
        held.item = item;
        held.finisher = finisher;
        held.finisherStart = processStartTime(finisher);
        held.handedOver = true;
        m_held.insert(item.rowId, held);
    }
    saveNow();
}

void QueueKeeper::scheduleSave() {
    if (isKeeping() && !m_saveSoon.isActive())
        m_saveSoon.start();
}

void QueueKeeper::saveNow() {
    if (isKeeping())
        save();
}

bool QueueKeeper::save() {
    m_saveSoon.stop();
    if (!isKeeping())
        return false;
    QHash<SourceList::Id, HandedOverItem> running;
    for (const HandedOverItem& item : m_run->underWay())
        running.insert(item.rowId, item);
    QList<QJsonObject> records;
    for (int row = 0; row < m_list->count(); ++row) {
        const SourceList::Id id = m_list->idAt(row);
        QJsonObject record = rowRecord(*m_list, id, m_extra.value(id));
        record.remove(QStringLiteral("underWay"));
        if (const auto held = m_held.constFind(id); held != m_held.cend()) {
            QJsonObject uw = handedOverJson(held->item);
            if (held->handedOver) {
                uw.insert(QStringLiteral("finisher"), QString::number(held->finisher));
                uw.insert(QStringLiteral("finisherStart"), QString::number(held->finisherStart));
            }
            record.insert(QStringLiteral("underWay"), uw);
        } else if (const auto it = running.constFind(id); it != running.cend()) {
            record.insert(QStringLiteral("underWay"), handedOverJson(*it));
        }
        records.append(record);
    }
    const QByteArray text = queueText(m_queueId, records);
    QSaveFile out(m_path);
    if (out.open(QIODevice::WriteOnly) && out.write(text) == text.size() && out.commit()) {
        m_saveFailureSaid = false;
        return true;
    }
    if (!m_saveFailureSaid) {
        m_saveFailureSaid = true;
        emit notice(tr("The list of files cannot be saved to %1: %2.")
                        .arg(QDir::toNativeSeparators(m_path), out.errorString()));
    }
    return false;
}

} // namespace clipvane
