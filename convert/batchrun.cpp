#include "convert/batchrun.h"

#include "base/apppaths.h"
#include "base/textvalues.h"
#include "convert/encodercommand.h"
#include "convert/itemfinisher.h"
#include "convert/plannedoutput.h"
#include "convert/runchecks.h"
#include "options/optionsheet.h"
#include "options/profiles.h"
#include "process/childtools.h"
#include "sources/mediaprobe.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QTimer>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace clipvane {
namespace {
constexpr int kProgressPollMs = 500;
// How often a name taken meanwhile by someone else is tried again with the next name.
constexpr int kReserveAttempts = 100;
constexpr qint64 kOldLogAgeSeconds = 7 * 24 * 3600;

// Keeps the logs of the last few runs (of any instance) and removes the rest.
void tidyLogs(const QString& folder, int keptRuns) {
    if (folder.isEmpty())
        return;
    // encoder-<pid>-<run>-<item>.log: a run is its name up to the item.
    QMap<QString, QDateTime> newestOfRun;
    const QFileInfoList logs =
        QDir(folder).entryInfoList({QStringLiteral("encoder-*.log")}, QDir::Files, QDir::Time);
    // This session's logs stay, for "Show Encoder Log".
    const QString own = QStringLiteral("encoder-%1-").arg(QCoreApplication::applicationPid());
    for (const QFileInfo& log : logs) {
        const QString run = log.fileName().section(QLatin1Char('-'), 0, 2);
        if (!newestOfRun.contains(run) && !log.fileName().startsWith(own))
            newestOfRun.insert(run, log.lastModified());
    }
    QList<QDateTime> times = newestOfRun.values();
    std::sort(times.begin(), times.end(), std::greater<>());
    if (times.size() <= keptRuns)
        return;
    const QDateTime oldestKept = times.at(keptRuns - 1);
    for (const QFileInfo& log : logs) {
        const QString run = log.fileName().section(QLatin1Char('-'), 0, 2);
        if (newestOfRun.contains(run) && newestOfRun.value(run) < oldestKept)
            QFile::remove(log.absoluteFilePath());
    }
}
} // namespace

BatchRun::BatchRun(const Environment& env, QObject* parent) : QObject(parent), m_env(env) {
    qRegisterMetaType<RunOutcome>();
    ChildTools::instance().atQuickExit(this, [this] { handOver(); });
    if (m_env.list) {
        connect(m_env.list, &SourceList::probesFinished, this, [this] {
            // Let the file being added finish its own steps (and a further file its probe)
            // before the run looks again.
            QTimer::singleShot(0, this, [this] {
                if (m_waitingForProbes && m_env.list->pendingProbes() == 0) {
                    m_waitingForProbes = false;
                    beginItems();
                }
            });
        });
    }
}

BatchRun::~BatchRun() = default;

void BatchRun::handOver() {
    QList<HandedOverItem> items;
    for (const auto& item : m_inFlight) {
        HandedOverItem h;
        if (item->job) {
            item->job->setSuspended(false); // a paused encoder is left to finish too
            h.encoderId = item->job->processId();
            h.encoderStart = processStartTime(h.encoderId);
        }
        h.logFile = m_env.list->logPath(item->id);
        h.partial = item->encodePath;
        h.partialFile = item->encodeFile;
        h.output = item->output;
        h.overwrite = m_settings.overwrite;
        h.oldOutput = item->oldOutput;
        h.input = item->input;
        h.clipSeconds = item->clipSeconds;
        h.expectVideo = item->expectVideo;
        h.stallMs = m_limits.stallMs;
        h.checkMs = m_limits.checkMs;
        items.append(h);
    }
    startFinisher(items);
}

bool BatchRun::canStart() const {
    return !m_running && m_env.list && m_env.list->count() > 0;
}

std::optional<QString> BatchRun::start(const RunSettings& settings) {
    if (!canStart())
        return std::nullopt;
    // What would fail every item is said once, before anything starts.
    const int profile = m_env.profileIndex ? m_env.profileIndex() : 0;
    if (m_env.sheet) {
        if (std::optional<QString> problem =
                checkBeforeRun(profile, *m_env.sheet, settings.outputFolder))
            return problem;
    }
    m_settings = settings;
    m_running = true;
    emit busyChanged(true);
    if (m_env.list->pendingProbes() > 0) {
        m_waitingForProbes = true; // see the probesFinished connection
        return std::nullopt;
    }
    beginItems();
    return std::nullopt;
}

void BatchRun::setParallel(int parallel) {
    m_settings.parallel = std::max(1, parallel);
    if (m_running)
        startNextItem();
}

void BatchRun::beginItems() {
    // A folder chosen but not there yet is made; if that fails, each item says why.
    QDir().mkpath(m_settings.outputFolder);
    ++m_runNumber;
    tidyLogs(cacheFolder(), kKeptRunLogs);

    // The rows of this run, fixed now. A row removed meanwhile is skipped.
    m_rows.clear();
    for (int row = 0; row < m_env.list->count(); ++row)
        m_rows.push_back(m_env.list->idAt(row));
    m_next = 0;
    m_itemsTried = 0;
    m_failed = 0;
    m_missingInput.clear();
    m_reservedOutputs.clear();
    m_finishingUp = false;
    m_stopping = false;
    // Every row says what this run does with it; nothing of an earlier run stays.
    for (SourceList::Id id : m_rows)
        m_env.list->setText(id, SourceList::Status, QLatin1String(kWaitingStatus));
    // What an interrupted run left in the folder goes (never a file someone still writes).
    removeLeftoverPartials(m_settings.outputFolder);
    qint64 total = 0;
    for (SourceList::Id id : m_rows) {
        const std::optional<qint64> start = m_env.list->clipStart(id);
        const std::optional<qint64> end = m_env.list->clipEnd(id);
        if (start && end && *end > *start)
            total += (*end - *start + 99) / 100;
    }
    emit runBegan(total);
    startNextItem();
}

int BatchRun::encodingCount() const {
    // An item whose file is being checked holds no encoder slot: the next encode starts
    // beside the check.
    return static_cast<int>(std::count_if(m_inFlight.cbegin(), m_inFlight.cend(),
                                          [](const auto& item) { return item->job != nullptr; }));
}

void BatchRun::startNextItem() {
    while (m_running && !m_paused && !m_finishingUp && !m_stopping && m_next < m_rows.size() &&
           encodingCount() < std::max(1, m_settings.parallel)) {
        const SourceList::Id id = m_rows[m_next++];
        if (!m_env.list->contains(id))
            continue;
        std::unique_ptr<Item> item;
        ToolCommand command;
        switch (prepareItem(id, item, command)) {
        case Prepared::Failed:
            continue;
        case Prepared::MissingInput:
            // The run stops before anything else starts; the user is told once it has.
            m_missingInput = m_env.list->text(id, SourceList::FileName);
            stopRun(RunOutcome::End::MissingInput);
            return;
        case Prepared::Ready:
            launchEncoder(std::move(item), command);
            break;
        }
    }
    if (!m_running || !m_inFlight.empty())
        return;
    if (m_stopping)
        endRun(m_stopEnd);
    else if (m_finishingUp && m_next < m_rows.size())
        endRun(RunOutcome::End::Cancelled); // the files under way are done: stop there
    else if (m_next >= m_rows.size())
        endRun(RunOutcome::End::Completed);
}

void BatchRun::stopRun(RunOutcome::End end) {
    // The encoders stop now; a file already encoded and being checked still gets its verdict,
    // and the run ends when the last check has decided.
    m_waitingForProbes = false;
    m_stopping = true;
    m_stopEnd = end;
    for (auto it = m_inFlight.begin(); it != m_inFlight.end();) {
        if ((*it)->job) {
            const SourceList::Id id = (*it)->id;
            stopItem(it->get());
            it = m_inFlight.erase(it);
            emit itemStopped(id);
        } else {
            ++it;
        }
    }
    startNextItem();
}

void BatchRun::failItem(SourceList::Id id, const QString& reason) {
    ++m_failed;
    m_env.list->setText(id, SourceList::Status, QStringLiteral("Fail"));
    m_env.list->setNote(id, reason);
}

QString BatchRun::nextLogPath() {
    const QString folder = cacheFolder();
    if (folder.isEmpty())
        return QString();
    const QString path = folder + QStringLiteral("/encoder-%1-%2-%3.log")
                                      .arg(QCoreApplication::applicationPid())
                                      .arg(m_runNumber)
                                      .arg(m_next);
    QFile probe(path);
    if (!probe.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return QString();
    return path;
}

BatchRun::Prepared BatchRun::prepareItem(SourceList::Id id, std::unique_ptr<Item>& item,
                                         ToolCommand& command) {
    SourceList& list = *m_env.list;
    const QString input = list.text(id, SourceList::FileName);
    if (nameNotUtf8(input)) {
        ++m_itemsTried;
        failItem(id, QLatin1String(kNotUtf8Note));
        return Prepared::Failed;
    }
    if (!QFileInfo::exists(input))
        return Prepared::MissingInput;
    ++m_itemsTried;

    const ProfileEntry* entry = profileAt(m_env.profileIndex ? m_env.profileIndex() : 0);
    EncoderInputs in = rowInputs(list, id, entry, m_settings);
    if (const std::optional<QString> refused =
            checkRowBeforeRun(entry, in.streams, list.isSoundless(id))) {
        failItem(id, *refused);
        return Prepared::Failed;
    }
    if (!m_env.sheet) {
        failItem(id, tr("The option sheet is incomplete."));
        return Prepared::Failed;
    }
    const auto options = readEncoderOptions(*m_env.sheet);
    if (const auto* error = std::get_if<EncoderCommandError>(&options)) {
        failItem(id, error->reason);
        return Prepared::Failed;
    }
    in.options = std::get<EncoderOptions>(options);
    // Outputs written and outputs being written: no two items of a batch share a file.
    in.writtenByBatch = m_reservedOutputs;

    // The hidden file the encoder writes is created here, before it starts, and only if no
    // one else has made it meanwhile: it reserves the name against other windows and programs.
    EncoderCommand built;
    std::optional<FileIdentity> reserved;
    for (int attempt = 0; !reserved; ++attempt) {
        EncoderCommandResult result = buildEncoderCommand(in);
        if (const auto* error = std::get_if<EncoderCommandError>(&result)) {
            // A file the probe could not read fails with the probe's own reason.
            const bool unreadable = !in.clipEnd || *in.clipEnd == 0;
            failItem(id, unreadable && !list.note(id).isEmpty() ? list.note(id) : error->reason);
            return Prepared::Failed;
        }
        built = std::move(std::get<EncoderCommand>(result));
        int error = 0;
        reserved = createExclusively(built.encodePath, &error);
        // Taken meanwhile: the next round sees it and takes the next name.
        if (!reserved && (error != EEXIST || attempt >= kReserveAttempts)) {
            failItem(id, tr("Clipvane cannot write %1: %2.")
                             .arg(built.outputPath, QString::fromLocal8Bit(std::strerror(error))));
            return Prepared::Failed;
        }
    }

    item = std::make_unique<Item>();
    item->id = id;
    item->input = input;
    item->output = built.outputPath;
    item->encodePath = built.encodePath;
    item->encodeFile = *reserved;
    item->hold = FileHold(built.encodePath);
    if (m_settings.overwrite)
        item->oldOutput = identityOf(built.outputPath);
    if (!built.batchConflict.isEmpty())
        item->note = tr("Saved as %1 because %2 was written by an earlier file "
                        "of this batch.")
                         .arg(QFileInfo(built.outputPath).fileName(),
                              QFileInfo(built.batchConflict).fileName());
    // What became of the tracks: the row says it once the file is good.
    item->trackNotes = built.notes;
    item->clipSeconds = built.clipSeconds;
    item->expectVideo = !(entry && entry->isSoundOnly());
    m_reservedOutputs.append(built.outputPath); // reserved now, given back if the item fails
    command = built.command;
    return Prepared::Ready;
}

bool BatchRun::launchEncoder(std::unique_ptr<Item> owned, const ToolCommand& command) {
    SourceList& list = *m_env.list;
    Item* item = owned.get();
    list.setText(item->id, SourceList::Status, QStringLiteral("Processing"));
    list.setNote(item->id, QString());

    ToolJob::Options options;
    options.workingDirectory = programFolder();
    options.logFile = nextLogPath();
    if (options.logFile.isEmpty())
        item->note = tr("No log could be written for this file, so Clipvane "
                        "cannot tell why it might fail.\n") +
                     item->note;
    list.setLogPath(item->id, options.logFile);
    options.toolName = QLatin1String(kEncoderTool);
    options.keys = m_env.keys;
    options.pollMs = kProgressPollMs;
    options.stopGraceMs = kStopGraceMs;
    options.outputFile = item->encodePath;
    options.stallLimitMs = m_limits.stallMs;

    auto* job = new ToolJob(this);
    item->job = job;
    m_inFlight.push_back(std::move(owned));
    const SourceList::Id id = item->id;
    connect(job, &ToolJob::started, this, [this, item](qint64 pid) {
        emit itemStarted(item->id, item->input, item->output, item->clipSeconds);
        emit encoderStarted(pid);
    });
    connect(job, &ToolJob::polled, this, [this, item](std::optional<double> t) {
        if (t)
            item->reportedSeconds = std::min(*t, static_cast<double>(item->clipSeconds));
        emit itemPolled(item->id, t);
    });
    connect(job, &ToolJob::finished, this,
            [this, item](const ToolJobResult& r) { onItemFinished(item, r); });
    if (!job->start(command.arguments(), options)) {
        job->deleteLater();
        m_reservedOutputs.removeOne(item->output);
        removeIfSame(item->encodePath, item->encodeFile);
        failItem(id, tr("The encoder tool could not be started."));
        removeInFlight(item);
        return false;
    }
    return true;
}

void BatchRun::removeInFlight(Item* item) {
    for (auto it = m_inFlight.begin(); it != m_inFlight.end(); ++it) {
        if (it->get() == item) {
            m_inFlight.erase(it);
            return;
        }
    }
}

void BatchRun::onItemFinished(Item* item, const ToolJobResult& result) {
    if (item->job) {
        item->job->deleteLater();
        item->job = nullptr;
    }
    item->errorLines = result.errorLines;
    item->decodingErrors = result.decodingErrors;
    if (result.stalled)
        return finishItem(item, tr("The encoder stopped making progress."));
    // A full disk can show only in the log, the encoder still ending with 0.
    if (!result.writeError.isEmpty()) {
        item->errorLines = result.writeError;
        return finishItem(item, tr("The output could not be written in full."));
    }
    if (!result.succeeded()) {
        finishItem(
            item,
            result.crashed
                ? tr("The encoder crashed (signal %1).").arg(result.exitCode)
                : tr("The encoder stopped with an error (exit code %1).").arg(result.exitCode));
        return;
    }
    // The encoder says it is done; the file must say so too before the row does. The next
    // item's encoder starts meanwhile.
    auto* check = new OutputCheck(this);
    item->check = check;
    item->reportedSeconds = static_cast<double>(item->clipSeconds);
    check->setTimeLimitMs(m_limits.checkMs);
    connect(check, &OutputCheck::finished, this,
            [this, item](const QString& failure) { onOutputChecked(item, failure); });
    check->start(item->encodePath, item->clipSeconds, item->expectVideo);
    emit itemEncoded(item->id);
    startNextItem();
}

void BatchRun::onOutputChecked(Item* item, const QString& failure) {
    if (item->check) {
        item->check->deleteLater();
        item->check = nullptr;
    }
    finishItem(item, failure.isEmpty() ? publish(item) : failure);
}

QString BatchRun::publish(Item* item) {
    const Publication done =
        publishOutput(item->encodePath, item->output, m_settings.overwrite, item->oldOutput,
                      {m_settings.overwrite, item->input, m_reservedOutputs});
    if (done.path != item->output) {
        m_reservedOutputs.removeOne(item->output);
        m_reservedOutputs.append(done.path);
        item->output = done.path;
    }
    if (!done.note.isEmpty())
        item->note = done.note;
    return done.failure;
}

void BatchRun::finishItem(Item* item, const QString& failure) {
    SourceList& list = *m_env.list;
    item->hold.release();
    if (failure.isEmpty()) {
        list.setText(item->id, SourceList::Status, QStringLiteral("OK"));
        QStringList note = item->trackNotes;
        if (item->decodingErrors == 1)
            note.append(tr("The source has damaged parts (1 decoding error); the output may "
                           "show them."));
        else if (item->decodingErrors > 1)
            note.append(tr("The source has damaged parts (%1 decoding errors); the output may "
                           "show them.")
                            .arg(item->decodingErrors));
        if (!item->note.isEmpty())
            note.prepend(item->note);
        list.setNote(item->id, note.join(QLatin1Char('\n')));
    } else {
        QString reason = failure;
        if (!item->errorLines.isEmpty())
            reason += QLatin1Char('\n') + item->errorLines;
        failItem(item->id, reason);
        m_reservedOutputs.removeOne(item->output);
        // What this item wrote is broken; it goes, and only it: a file someone else put under
        // its name meanwhile stays, as does the older file an overwrite would have replaced.
        removeIfSame(item->encodePath, item->encodeFile);
    }
    const SourceList::Id id = item->id;
    removeInFlight(item);
    emit itemDone(id);
    startNextItem();
}

void BatchRun::stopItem(Item* item) {
    // The encoder is sent "q" (and ended should it not listen); the unfinished file goes once
    // it has, and only it: whatever is under the output's name stays as it was.
    if (item->check)
        delete item->check;
    item->hold.release();
    const auto settle = [partial = item->encodePath, made = item->encodeFile] {
        removeIfSame(partial, made);
    };
    if (ToolJob* job = item->job) {
        disconnect(job, nullptr, this, nullptr);
        connect(job, &ToolJob::finished, job, &QObject::deleteLater);
        connect(job, &ToolJob::finished, job, settle);
        job->stop();
    } else {
        settle();
    }
    m_reservedOutputs.removeOne(item->output);
    m_env.list->setText(item->id, SourceList::Status, QStringLiteral("Cancel"));
}

void BatchRun::skipCurrent() {
    if (!m_running || m_stopping)
        return;
    // The encoding item furthest behind, by how far its encoder says it is.
    Item* behind = nullptr;
    const auto share = [](const Item* item) {
        return item->clipSeconds > 0 ? item->reportedSeconds / double(item->clipSeconds) : 0.0;
    };
    for (const auto& item : m_inFlight) {
        if (item->job && (!behind || share(item.get()) < share(behind)))
            behind = item.get();
    }
    if (!behind)
        return;
    const SourceList::Id id = behind->id;
    stopItem(behind);
    removeInFlight(behind);
    emit itemDone(id);
    startNextItem();
}

void BatchRun::finishCurrentThenStop() {
    if (!m_running || m_finishingUp)
        return;
    m_finishingUp = true;
    if (m_waitingForProbes)
        return cancel();
    startNextItem(); // ends the run at once when nothing is under way
}

void BatchRun::setPaused(bool paused) {
    if (paused == m_paused || (paused && !m_running))
        return;
    m_paused = paused;
    for (const auto& item : m_inFlight) {
        if (item->job)
            item->job->setSuspended(paused);
    }
    emit pausedChanged(paused);
    if (m_running && !paused)
        startNextItem();
}

void BatchRun::clearWaitingRows() {
    // Rows the run never reached go back to saying nothing.
    for (SourceList::Id id : m_rows) {
        if (m_env.list->contains(id) &&
            m_env.list->text(id, SourceList::Status) == QLatin1String(kWaitingStatus))
            m_env.list->setText(id, SourceList::Status, QString());
    }
}

void BatchRun::cancel() {
    if (m_running)
        stopRun(RunOutcome::End::Cancelled);
}

void BatchRun::endRun(RunOutcome::End end) {
    if (m_paused) {
        m_paused = false; // nothing is left to go on
        emit pausedChanged(false);
    }
    if (end != RunOutcome::End::Completed)
        clearWaitingRows();
    m_stopping = false;
    m_finishingUp = false;
    m_running = false;
    RunOutcome outcome;
    outcome.end = end;
    outcome.tried = m_itemsTried;
    outcome.failed = m_failed;
    outcome.missingInput = m_missingInput;
    outcome.outputFolder = m_settings.outputFolder;
    emit busyChanged(false);
    emit runFinished(outcome);
}

} // namespace clipvane
