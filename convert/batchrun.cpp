#include "convert/batchrun.h"

#include "base/apppaths.h"
#include "base/desktopservices.h"
#include "base/messageboxes.h"
#include "base/textvalues.h"
#include "convert/encodercommand.h"
#include "convert/encoderprogress.h"
#include "convert/itemfinisher.h"
#include "convert/plannedoutput.h"
#include "convert/runchecks.h"
#include "options/optionsheet.h"
#include "options/profiles.h"
#include "process/childtools.h"
#include "process/progresswatch.h"
#include "sources/mediaprobe.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
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
    ChildTools::instance().atQuickExit(this, [this] { handOver(); });
    m_elapsedClock.setObjectName(QStringLiteral("elapsedClock"));
    m_elapsedClock.setInterval(1000);
    connect(&m_elapsedClock, &QTimer::timeout, this, &BatchRun::onElapsedTick);
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

QString BatchRun::elapsedText() const {
    return timeText(m_elapsed);
}

void BatchRun::onElapsedTick() {
    ++m_elapsed;
    emit elapsedTextChanged(elapsedText());
}

void BatchRun::setPanelVisible(bool visible) {
    m_panelVisible = visible;
    emit panelVisibleChanged(visible);
}

void BatchRun::setItemProgress(int value) {
    if (m_itemProgress == value)
        return;
    m_itemProgress = value;
    emit itemProgressChanged(value);
}

void BatchRun::setTotal(int value) {
    if (m_total == value)
        return;
    m_total = value;
    emit totalProgressChanged(value);
}

void BatchRun::setPanelCaption(const QString& caption) {
    m_panelCaption = caption;
    emit panelCaptionChanged(caption);
}

bool BatchRun::canStart() const {
    return !m_running && m_env.list && m_env.list->count() > 0;
}

void BatchRun::start() {
    if (!canStart())
        return;
    // What would fail every item is said once, before anything starts.
    const int profile = m_env.profileIndex ? m_env.profileIndex() : 0;
    if (m_env.sheet) {
        if (const std::optional<QString> problem =
                checkBeforeRun(profile, *m_env.sheet, Preferences().effectiveOutputFolder())) {
            if (m_env.messages)
                m_env.messages->warning(*problem);
            return;
        }
    }
    m_running = true;
    setPanelCaption(tr(kPanelCaption));
    setPanelVisible(true);
    m_completedShare = 0;
    emit busyChanged(true);
    if (m_env.list->pendingProbes() > 0) {
        m_waitingForProbes = true; // see the probesFinished connection
        return;
    }
    beginItems();
}

void BatchRun::beginItems() {
    m_settings = RunSettings::read(Preferences());
    // A folder chosen but not there yet is made; if that fails, each item says why.
    QDir().mkpath(m_settings.outputFolder);
    ++m_runNumber;
    tidyLogs(cacheFolder(), kKeptRunLogs);
    m_elapsed = 0;
    emit elapsedTextChanged(elapsedText());
    m_elapsedClock.start();

    // The rows of this run, fixed now. A row removed meanwhile is skipped.
    m_identifyLines.clear();
    for (int row = 0; row < m_env.list->count(); ++row)
        m_identifyLines.push_back(m_env.list->idAt(row));
    m_next = 0;
    m_itemsTried = 0;
    m_failed = 0;
    m_reservedOutputs.clear();
    m_finishingUp = false;
    m_stopping = false;
    m_pausedMs = 0;
    m_pauseClock.invalidate();
    // Every row says what this run does with it; nothing of an earlier run stays.
    for (SourceList::Id id : m_identifyLines)
        m_env.list->setText(id, SourceList::Status, QLatin1String(kWaitingStatus));
    // What an interrupted run left in the folder goes (never a file someone still writes).
    removeLeftoverPartials(m_settings.outputFolder);
    qint64 total = 0;
    for (SourceList::Id id : m_identifyLines) {
        const std::optional<qint64> start = parseClipTime(m_env.list->text(id, SourceList::Start));
        const std::optional<qint64> end = parseClipTime(m_env.list->text(id, SourceList::End));
        if (start && end && *end > *start)
            total += (*end - *start + 99) / 100;
    }
    m_estimate.begin(total);
    m_convertedSeconds = 0;
    m_wallClock.start();
    showTimeLeft();
    emit autoShutChanged(Preferences().autoShut());
    startNextItem();
}

int BatchRun::parallelNow() const {
    // Read afresh, so that a change applies to the next item that starts.
    return Preferences().parallel();
}

int BatchRun::encodingCount() const {
    // An item whose file is being checked holds no encoder slot: the next encode starts
    // beside the check.
    return static_cast<int>(std::count_if(m_inFlight.cbegin(), m_inFlight.cend(),
                                          [](const auto& item) { return item->job != nullptr; }));
}

void BatchRun::startNextItem() {
    while (m_running && !m_paused && !m_finishingUp && !m_stopping &&
           m_next < m_identifyLines.size() && encodingCount() < parallelNow()) {
        const SourceList::Id id = m_identifyLines[m_next++];
        if (!m_env.list->contains(id))
            continue;
        if (startItem(id) == ItemStart::StopRun)
            return;
    }
    if (!m_running || !m_inFlight.empty())
        return;
    if (m_stopping || (m_finishingUp && m_next < m_identifyLines.size())) {
        // Stopped, or the files under way are done and the user asked to stop there.
        const QString message = m_stopping ? m_stopMessage : tr(kCancelledMessage);
        if (!message.isEmpty() && m_env.messages)
            m_env.messages->error(message);
        endRunEarly();
    } else if (m_next >= m_identifyLines.size()) {
        complete();
    }
}

void BatchRun::stopRun(const QString& message) {
    // The encoders stop now; a file already encoded and being checked still gets its verdict,
    // and the run ends when the last check has decided.
    m_waitingForProbes = false;
    m_stopping = true;
    m_stopMessage = message;
    for (auto it = m_inFlight.begin(); it != m_inFlight.end();) {
        if ((*it)->job) {
            stopItem(it->get());
            it = m_inFlight.erase(it);
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

BatchRun::ItemStart BatchRun::startItem(SourceList::Id id) {
    SourceList& list = *m_env.list;
    const QString input = list.text(id, SourceList::FileName);
    if (nameNotUtf8(input)) {
        ++m_itemsTried;
        failItem(id, QLatin1String(kNotUtf8Note));
        return ItemStart::Skipped;
    }
    if (!QFileInfo::exists(input)) {
        if (m_env.messages)
            m_env.messages->error(tr("Invalid input file name. ") + input);
        stopRun(QString());
        return ItemStart::StopRun;
    }
    ++m_itemsTried;

    const int profile = m_env.profileIndex ? m_env.profileIndex() : 0;
    const ProfileEntry* entry = profileAt(profile);
    EncoderInputs in = rowInputs(list, id, entry, m_settings);
    if (entry && entry->isSoundOnly() && list.isSoundless(id)) {
        failItem(id, tr("This file holds no sound, so there is nothing to write "
                        "into a sound-only file."));
        return ItemStart::Skipped;
    }
    if (!m_env.sheet || !readEncoderOptions(*m_env.sheet, in)) {
        failItem(id, tr("The option sheet is incomplete."));
        return ItemStart::Skipped;
    }
    // Outputs written and outputs being written: no two items of a batch share a file.
    in.writtenByBatch = m_reservedOutputs;

    // The hidden file the encoder writes is created here, before it starts, and only if no
    // one else has made it meanwhile: it reserves the name against other windows and programs.
    EncoderCommand command;
    std::optional<FileIdentity> reserved;
    for (int attempt = 0; !reserved; ++attempt) {
        const EncoderCommandResult built = buildEncoderCommand(in);
        if (const auto* error = std::get_if<EncoderCommandError>(&built)) {
            // A file the probe could not read fails with the probe's own reason.
            const bool unreadable = in.clipEnd.isEmpty() || in.clipEnd == QLatin1String("0:00:00");
            failItem(id, unreadable && !list.note(id).isEmpty() ? list.note(id) : error->reason);
            return ItemStart::Skipped;
        }
        command = std::get<EncoderCommand>(built);
        int error = 0;
        reserved = createExclusively(command.encodePath, &error);
        // Taken meanwhile: the next round sees it and takes the next name.
        if (!reserved && (error != EEXIST || attempt >= kReserveAttempts)) {
            failItem(id,
                     tr("Clipvane cannot write %1: %2.")
                         .arg(command.outputPath, QString::fromLocal8Bit(std::strerror(error))));
            return ItemStart::Skipped;
        }
    }

    auto owned = std::make_unique<Item>();
    Item* item = owned.get();
    item->id = id;
    item->input = input;
    item->output = command.outputPath;
    item->encodePath = command.encodePath;
    item->encodeFile = *reserved;
    item->hold = FileHold(command.encodePath);
    if (m_settings.overwrite)
        item->oldOutput = identityOf(command.outputPath);
    item->note = command.batchConflict.isEmpty()
                     ? QString()
                     : tr("Saved as %1 because %2 was written by an earlier file "
                          "of this batch.")
                           .arg(QFileInfo(command.outputPath).fileName(),
                                QFileInfo(command.batchConflict).fileName());
    item->clipSeconds = command.clipSeconds;
    item->expectVideo = !(entry && entry->isSoundOnly());
    list.setLogPath(id, QString());
    m_reservedOutputs.append(command.outputPath); // reserved now, given back if the item fails
    setPanelCaption(tr(kPanelCaption) + input + tr(" To ") + command.outputPath);
    list.setText(id, SourceList::Status, QStringLiteral("Processing"));
    list.setNote(id, QString());

    ToolJob::Options options;
    options.workingDirectory = programFolder();
    options.logFile = nextLogPath();
    if (options.logFile.isEmpty())
        item->note = tr("No log could be written for this file, so Clipvane "
                        "cannot tell why it might fail.\n") +
                     item->note;
    list.setLogPath(id, options.logFile);
    options.toolName = QLatin1String(kEncoderTool);
    options.keys = m_env.keys;
    options.pollMs = kProgressPollMs;
    options.stopGraceMs = kStopGraceMs;
    options.outputFile = item->encodePath;
    options.stallLimitMs = m_limits.stallMs;

    auto* job = new ToolJob(this);
    item->job = job;
    m_inFlight.push_back(std::move(owned));
    connect(job, &ToolJob::started, this, [this, item](qint64 pid) {
        item->progress = 10;
        showLeastAdvanced();
        emit encoderStarted(pid);
    });
    connect(job, &ToolJob::polled, this,
            [this, item](std::optional<double> t) { onPolled(item, t); });
    connect(job, &ToolJob::finished, this,
            [this, item](const ToolJobResult& r) { onItemFinished(item, r); });
    if (!job->start(command.commandLine, options)) {
        job->deleteLater();
        m_reservedOutputs.removeOne(item->output);
        removeIfSame(item->encodePath, item->encodeFile);
        failItem(id, tr("The encoder tool could not be started."));
        removeInFlight(item);
        return ItemStart::Skipped;
    }
    // A listener of encoderStarted may already have cancelled the run.
    return m_running ? ItemStart::Started : ItemStart::StopRun;
}

void BatchRun::showLeastAdvanced() {
    // The current-item bar follows the item furthest behind.
    int least = 100;
    for (const auto& item : m_inFlight)
        least = std::min(least, item->progress);
    setItemProgress(least);
}

void BatchRun::removeInFlight(Item* item) {
    for (auto it = m_inFlight.begin(); it != m_inFlight.end(); ++it) {
        if (it->get() == item) {
            m_inFlight.erase(it);
            return;
        }
    }
}

void BatchRun::onPolled(Item* item, std::optional<double> reportedSeconds) {
    // The encoder's own time= reports against the clip length; where it reports none, an
    // estimate that climbs one step every (clip seconds / 3) polls, held at 83.
    if (reportedSeconds && item->clipSeconds > 0) {
        item->reported = true;
        item->reportedSeconds = std::min(*reportedSeconds, static_cast<double>(item->clipSeconds));
        item->progress =
            std::max(item->progress, itemProgressFor(*reportedSeconds, item->clipSeconds));
    } else if (!item->reported && ++item->pollsSinceStep >= item->clipSeconds / 3) {
        item->pollsSinceStep = 0;
        item->progress = std::min(item->progress + 1, 83);
    }
    showLeastAdvanced();
    showTimeLeft();
}

void BatchRun::showTimeLeft() {
    double converted = m_convertedSeconds;
    for (const auto& item : m_inFlight)
        converted += item->reportedSeconds;
    m_estimate.progress(converted, runningMs());
    if (m_paused) {
        emit timeLeftChanged(tr("Paused"));
        return;
    }
    const std::optional<qint64> left = m_estimate.secondsLeft();
    emit timeLeftChanged(left ? tr("Time left: ") + timeText(*left)
                              : tr("Time left: estimating\u2026"));
}

void BatchRun::onItemFinished(Item* item, const ToolJobResult& result) {
    if (item->job) {
        item->job->deleteLater();
        item->job = nullptr;
    }
    item->errorLines = result.errorLines;
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
    item->progress = 100;
    check->setTimeLimitMs(m_limits.checkMs);
    connect(check, &OutputCheck::finished, this,
            [this, item](const QString& failure) { onOutputChecked(item, failure); });
    check->start(item->encodePath, item->clipSeconds, item->expectVideo);
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
        list.setNote(item->id, item->note);
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
    m_convertedSeconds += static_cast<double>(item->clipSeconds);
    removeInFlight(item);
    countFinished();
    startNextItem();
}

void BatchRun::countFinished() {
    showTimeLeft();
    if (m_inFlight.empty())
        setItemProgress(100);
    else
        showLeastAdvanced();
    m_completedShare =
        std::min(100, static_cast<int>(roundHalfEven(100.0 / std::max(1, m_env.list->count()) +
                                                     m_completedShare)));
    setTotal(m_completedShare);
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
    Item* behind = nullptr;
    for (const auto& item : m_inFlight) {
        if (item->job && (!behind || item->progress < behind->progress))
            behind = item.get();
    }
    if (!behind)
        return;
    stopItem(behind);
    m_convertedSeconds += static_cast<double>(behind->clipSeconds);
    removeInFlight(behind);
    countFinished();
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
    if (paused) {
        m_elapsedClock.stop();
        m_pauseClock.start();
    } else {
        if (m_pauseClock.isValid())
            m_pausedMs += m_pauseClock.elapsed();
        m_pauseClock.invalidate();
        if (m_running)
            m_elapsedClock.start();
    }
    emit pausedChanged(paused);
    if (m_running) {
        showTimeLeft();
        if (!paused)
            startNextItem();
    }
}

qint64 BatchRun::runningMs() const {
    if (!m_wallClock.isValid())
        return 0;
    return m_wallClock.elapsed() - m_pausedMs -
           (m_pauseClock.isValid() ? m_pauseClock.elapsed() : 0);
}

void BatchRun::clearWaitingRows() {
    // Rows the run never reached go back to saying nothing.
    for (SourceList::Id id : m_identifyLines) {
        if (m_env.list->contains(id) &&
            m_env.list->text(id, SourceList::Status) == QLatin1String(kWaitingStatus))
            m_env.list->setText(id, SourceList::Status, QString());
    }
}

void BatchRun::cancel() {
    if (m_running)
        stopRun(tr(kCancelledMessage));
}

void BatchRun::endPause() {
    if (!m_paused)
        return;
    m_paused = false;
    m_pauseClock.invalidate();
    emit pausedChanged(false);
}

void BatchRun::endRunEarly() {
    endPause();
    m_stopping = false;
    m_finishingUp = false;
    clearWaitingRows();
    m_elapsedClock.stop();
    emit busyChanged(false);
    setItemProgress(0);
    setTotal(0);
    setPanelVisible(false);
    m_running = false;
    emit runFinished();
}

void BatchRun::complete() {
    endPause();
    m_elapsedClock.stop();
    setTotal(100);
    emit busyChanged(false);
    // A shutdown the user can still stop: a minute's countdown with Cancel first. One the
    // system refuses is said with the completion message.
    QString notShutDown;
    if (Preferences().autoShut() && m_env.desktop &&
        (!m_env.messages || m_env.messages->shutdownCountdown(kShutdownCountdownSeconds))) {
        const QString refused = m_env.desktop->shutdown();
        if (!refused.isEmpty())
            notShutDown = tr("The computer could not be shut down: %1").arg(refused);
    }
    if (m_env.messages) {
        QString done = tr("Conversion completed!");
        if (m_failed == 0 && notShutDown.isEmpty()) {
            m_env.messages->information(done);
        } else {
            if (m_failed > 0)
                done += QLatin1Char('\n') +
                        tr("%1 of %2 %3 failed. Hover over a failed row to see why.")
                            .arg(m_failed)
                            .arg(m_itemsTried)
                            .arg(m_itemsTried == 1 ? tr("file") : tr("files"));
            if (!notShutDown.isEmpty())
                done += QLatin1Char('\n') + notShutDown;
            m_env.messages->warning(done);
        }
    }
    setItemProgress(0);
    setTotal(0);
    setPanelVisible(false);
    m_completedShare = 0;
    m_running = false;
    if (m_env.desktop && QFileInfo(m_settings.outputFolder).isDir() &&
        !m_env.desktop->openFolder(m_settings.outputFolder))
        emit notice(tr("The output folder %1 could not be opened: no file manager "
                       "answered (is xdg-open installed?).")
                        .arg(QDir::toNativeSeparators(m_settings.outputFolder)));
    emit runFinished();
}

} // namespace clipvane
