#include "convert/batchrun.h"

#include "base/apppaths.h"
#include "base/textvalues.h"
#include "convert/encodercommand.h"
#include "convert/itemfinisher.h"
#include "convert/outputsize.h"
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

BatchRun::BatchRun(const Environment& env, QObject* parent)
    : QObject(parent), m_env(env), m_scorer(env.list) {
    qRegisterMetaType<RunOutcome>();
    ChildTools::instance().atQuickExit(this, [this] { handOver(); });
    if (m_env.list) {
        connect(m_env.list, &SourceList::rowsAboutToBeRemoved, this,
                [this](const QModelIndex&, int first, int last) { rowsLeaving(first, last); });
        connect(m_env.list, &SourceList::modelAboutToBeReset, this,
                [this] { rowsLeaving(0, m_env.list->count() - 1); });
        const auto goOn = [this] {
            if (m_running && !m_waitingForProbes)
                startNextItem();
        };
        connect(m_env.list, &SourceList::rowsRemoved, this, goOn);
        connect(m_env.list, &SourceList::modelReset, this, goOn);
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
    for (const auto& item : m_inFlight) {
        if (item->job)
            item->job->setSuspended(false); // a paused encoder is left to finish too
    }
    QList<HandedOverItem> items = underWay();
    if (items.isEmpty())
        return;
    // An item still in its first pass has no file to finish: it stops.
    for (qsizetype i = 0; i < items.size(); ++i)
        items[i].stop = m_stopAtExit || m_inFlight.at(i)->secondPass.has_value();
    qint64 finisher = 0;
    if (!startFinisher(items, &finisher))
        finisher = 0;
    emit handedOver(finisher, items);
}

QList<HandedOverItem> BatchRun::underWay() const {
    QList<HandedOverItem> items;
    for (const auto& item : m_inFlight) {
        HandedOverItem h;
        h.rowId = item->id;
        if (item->job) {
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
        h.outcomes = m_outcomesFolder;
        h.queue = m_queueId;
        items.append(h);
    }
    return items;
}

bool BatchRun::isUnderWay(SourceList::Id id) const {
    return std::any_of(m_inFlight.cbegin(), m_inFlight.cend(),
                       [id](const auto& item) { return item->id == id; });
}

int BatchRun::waitingCount() const {
    if (!m_running)
        return 0;
    int waiting = 0;
    for (SourceList::Id id : m_pending)
        waiting += m_env.list->contains(id) ? 1 : 0;
    return waiting;
}

void BatchRun::rowsLeaving(int first, int last) {
    QList<SourceList::Id> leaving;
    for (int row = first; row <= last; ++row)
        leaving.append(m_env.list->idAt(row));
    leaveOut(leaving, false);
}

void BatchRun::letGo(const QList<SourceList::Id>& ids) {
    leaveOut(ids, true);
    QTimer::singleShot(0, this, [this] {
        if (m_running && !m_waitingForProbes)
            startNextItem();
    });
}

void BatchRun::leaveOut(const QList<SourceList::Id>& ids, bool markRows) {
    if (!m_running)
        return;
    const QSet<SourceList::Id> leaving(ids.cbegin(), ids.cend());
    m_pending -= leaving;
    // Nothing starts now: the list is changing. The next item starts once the rows are gone.
    for (auto it = m_inFlight.begin(); it != m_inFlight.end();) {
        const SourceList::Id id = (*it)->id;
        if (!leaving.contains(id)) {
            ++it;
            continue;
        }
        stopItem(it->get(), markRows);
        it = m_inFlight.erase(it);
        emit itemDone(id);
    }
}

void BatchRun::stopAtExit() {
    if (!m_running)
        return;
    m_stopAtExit = true;
    for (const auto& item : m_inFlight)
        m_env.list->setText(item->id, SourceList::Status, QStringLiteral("Cancel"));
    clearWaitingRows();
}

bool BatchRun::canStart() const {
    return !m_running && m_env.list && m_env.list->count() > 0;
}

std::optional<QString> BatchRun::start(const RunSettings& settings) {
    if (!canStart())
        return std::nullopt;
    // What would fail every item is said once, before anything starts.
    const int profile = m_env.profileIndex ? m_env.profileIndex() : 0;
    if (std::optional<QString> problem =
            checkRowsBeforeRun(*m_env.list, profile, m_env.sheet, settings.outputFolder,
                               usesOutputFolder(*m_env.list, settings)))
        return problem;
    if (std::optional<QString> problem =
            checkTargetSizes(*m_env.list, profile, m_env.sheet, settings))
        return problem;
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

    // The rows of this run, fixed now; rows added later wait for the next run. A row removed
    // meanwhile is skipped; one moved is taken where it stands.
    m_rows.clear();
    m_pending.clear();
    for (int row = 0; row < m_env.list->count(); ++row) {
        const SourceList::Id id = m_env.list->idAt(row);
        if (m_heldElsewhere && m_heldElsewhere(id))
            continue;
        m_rows.push_back(id);
        m_pending.insert(id);
    }
    m_itemNumber = 0;
    m_stopAtExit = false;
    m_itemsTried = 0;
    m_failed = 0;
    m_converted = 0;
    m_missingInput.clear();
    m_reservedOutputs.clear();
    m_finishingUp = false;
    m_stopping = false;
    // Every row says what this run does with it; nothing of an earlier run stays.
    for (SourceList::Id id : m_rows)
        m_env.list->setText(id, SourceList::Status, QLatin1String(kWaitingStatus));
    // What an interrupted run left in the folders goes (never a file someone still writes).
    QStringList folders{m_settings.outputFolder};
    for (SourceList::Id id : m_rows)
        if (m_settings.nextToSource)
            folders.append(
                outputPlace(m_env.list->text(id, SourceList::FileName), m_settings).folder);
    folders.removeDuplicates();
    removeLeftoverPartials(folders);
    m_writtenFolders.clear();
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

std::optional<SourceList::Id> BatchRun::nextWaitingRow() const {
    if (m_pending.isEmpty())
        return std::nullopt;
    for (int row = 0; row < m_env.list->count(); ++row) {
        const SourceList::Id id = m_env.list->idAt(row);
        if (m_pending.contains(id))
            return id;
    }
    return std::nullopt;
}

void BatchRun::startNextItem() {
    while (m_running && !m_paused && !m_finishingUp && !m_stopping &&
           encodingCount() < std::max(1, m_settings.parallel)) {
        const std::optional<SourceList::Id> next = nextWaitingRow();
        if (!next)
            break;
        const SourceList::Id id = *next;
        m_pending.remove(id);
        ++m_itemNumber;
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
    const bool rowsLeft = nextWaitingRow().has_value();
    if (m_stopping)
        endRun(m_stopEnd);
    else if (m_finishingUp && rowsLeft)
        endRun(RunOutcome::End::Cancelled); // the files under way are done: stop there
    else if (!rowsLeft)
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
                                      .arg(m_itemNumber);
    QFile probe(path);
    if (!probe.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return QString();
    return path;
}

std::optional<BatchRun::Reservation> BatchRun::reserveOutput(SourceList::Id id, EncoderInputs& in,
                                                             bool* fellBack) {
    SourceList& list = *m_env.list;
    Reservation r;
    std::optional<FileIdentity> reserved;
    for (int attempt = 0; !reserved; ++attempt) {
        EncoderCommandResult result = buildEncoderCommand(in);
        if (const auto* error = std::get_if<EncoderCommandError>(&result)) {
            // A file the probe could not read fails with the probe's own reason.
            const bool unreadable = !in.clipEnd || *in.clipEnd == 0;
            failItem(id, unreadable && !list.note(id).isEmpty() ? list.note(id) : error->reason);
            return std::nullopt;
        }
        r.built = std::move(std::get<EncoderCommand>(result));
        r.softwareCommand.reset();
        if (r.built.usesHardware) {
            // Made now, for the same names: the hardware may refuse what software takes.
            EncoderInputs software = in;
            software.options.hardware = HardwareKind::Software;
            software.passLogFolder.clear(); // one pass, as the hardware's was
            if (auto* made = std::get_if<EncoderCommand>(&(result = buildEncoderCommand(software)));
                made && made->encodePath == r.built.encodePath)
                r.softwareCommand = made->command;
        }
        int error = 0;
        reserved = createExclusively(r.built.encodePath, &error);
        // The source's folder refuses new files after all: the output folder takes this one.
        if (!reserved && in.outputFolder != m_settings.outputFolder &&
            (error == EACCES || error == EPERM || error == EROFS)) {
            in.outputFolder = m_settings.outputFolder;
            *fellBack = true;
            continue;
        }
        // Taken meanwhile: the next round sees it and takes the next name.
        if (!reserved && (error != EEXIST || attempt >= kReserveAttempts)) {
            failItem(id,
                     tr("Clipvane cannot write %1: %2.")
                         .arg(r.built.outputPath, QString::fromLocal8Bit(std::strerror(error))));
            return std::nullopt;
        }
    }
    r.file = *reserved;
    return r;
}

BatchRun::Prepared BatchRun::prepareItem(SourceList::Id id, std::unique_ptr<Item>& item,
                                         ToolCommand& command) {
    SourceList& list = *m_env.list;
    const QString input = list.text(id, SourceList::FileName);
    if (nameNotUtf8(input)) {
        ++m_itemsTried;
        failItem(id, notUtf8Note());
        return Prepared::Failed;
    }
    if (!QFileInfo::exists(input))
        return Prepared::MissingInput;
    ++m_itemsTried;

    // The row's own profile and values, or the picker's and the sheet's as they are now.
    const RowEncoding encoding =
        rowEncoding(list, id, m_env.profileIndex ? m_env.profileIndex() : 0, m_env.sheet);
    const ProfileEntry* entry = encoding.profile;
    EncoderInputs in = rowInputs(list, id, entry, m_settings);
    if (const std::optional<QString> refused =
            checkRowBeforeRun(entry, in.streams, list.isSoundless(id))) {
        failItem(id, *refused);
        return Prepared::Failed;
    }
    if (const auto* error = std::get_if<EncoderCommandError>(&encoding.options)) {
        failItem(id, error->reason);
        return Prepared::Failed;
    }
    in.options = std::get<EncoderOptions>(encoding.options);
    // A Target Size becomes the rate that fills it, in two passes.
    if (const std::optional<QString> refused = resolveTargetSize(in)) {
        failItem(id, *refused);
        return Prepared::Failed;
    }
    // Outputs written and outputs being written: no two items of a batch share a file.
    in.writtenByBatch = m_reservedOutputs;

    // The hidden file the encoder writes is created here, before it starts, and only if no
    // one else has made it meanwhile: it reserves the name against other windows and programs.
    // Two passes keep their log in a folder of this item's own: two items at once never
    // share it, and it goes with the item.
    std::shared_ptr<QTemporaryDir> passFolder;
    if (in.options.picture.twoPass && in.options.videoKbits && entry && entry->isTodaysFormat() &&
        !entry->isSoundOnly()) {
        passFolder = std::make_shared<QTemporaryDir>(QDir::tempPath() +
                                                     QStringLiteral("/clipvane-pass-XXXXXX"));
        if (!passFolder->isValid()) {
            failItem(id, tr("No private folder could be made for the Two-Pass log: %1")
                             .arg(passFolder->errorString()));
            return Prepared::Failed;
        }
        in.passLogFolder = passFolder->path();
    }
    bool fellBack = outputPlace(input, m_settings).fellBack;
    std::optional<Reservation> reservation = reserveOutput(id, in, &fellBack);
    if (!reservation)
        return Prepared::Failed;
    const EncoderCommand& built = reservation->built;
    const std::optional<ToolCommand>& softwareCommand = reservation->softwareCommand;

    item = std::make_unique<Item>();
    item->id = id;
    item->input = input;
    item->output = built.outputPath;
    item->encodePath = built.encodePath;
    item->encodeFile = reservation->file;
    item->hold = FileHold(built.encodePath);
    if (m_settings.overwrite)
        item->oldOutput = identityOf(built.outputPath);
    QStringList notes;
    if (fellBack)
        notes << tr("Saved in the output folder because %1 cannot be written.")
                     .arg(QDir::toNativeSeparators(QFileInfo(input).absolutePath()));
    if (!built.batchConflict.isEmpty())
        notes << tr("Saved as %1 because %2 was written by an earlier file "
                    "of this batch.")
                     .arg(QFileInfo(built.outputPath).fileName(),
                          QFileInfo(built.batchConflict).fileName());
    item->note = notes.join(QLatin1Char('\n'));
    // What became of the tracks: the row says it once the file is good.
    item->trackNotes = built.notes;
    item->clipSeconds = built.clipSeconds;
    item->clipStart = static_cast<double>(in.clipStart.value_or(0)) / 100.0;
    item->clipLength = built.clipLength;
    item->expectVideo = !(entry && entry->isSoundOnly());
    item->softwareCommand = softwareCommand;
    m_reservedOutputs.append(built.outputPath); // reserved now, given back if the item fails
    command = built.firstPass ? *built.firstPass : built.command;
    if (built.firstPass) {
        item->secondPass = built.command;
        item->passFolder = passFolder;
    }
    return Prepared::Ready;
}

bool BatchRun::launchEncoder(std::unique_ptr<Item> owned, const ToolCommand& command) {
    SourceList& list = *m_env.list;
    Item* item = owned.get();
    list.setText(item->id, SourceList::Status, QStringLiteral("Processing"));
    list.setNote(item->id, QString());
    list.setScore(item->id, std::nullopt); // an earlier output's
    m_inFlight.push_back(std::move(owned));
    if (startEncoderJob(item, command))
        return true;
    m_reservedOutputs.removeOne(item->output);
    removeIfSame(item->encodePath, item->encodeFile);
    failItem(item->id, tr("The encoder tool could not be started."));
    removeInFlight(item);
    return false;
}

bool BatchRun::startEncoderJob(Item* item, const ToolCommand& command) {
    SourceList& list = *m_env.list;

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
        item->job = nullptr;
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
    if (!result.succeeded() && !result.stopRequested && item->softwareCommand) {
        // The hardware encoder failed (a busy or sleeping device, a size it cannot take):
        // the same file again, in software, into the same hidden file.
        const ToolCommand software = *item->softwareCommand;
        item->softwareCommand.reset();
        item->note = (item->note.isEmpty() ? QString() : item->note + QLatin1Char('\n')) +
                     tr("The hardware encoder failed: converted in software.");
        if (!startEncoderJob(item, software))
            finishItem(item, tr("The encoder tool could not be started."));
        return;
    }
    if (!result.succeeded()) {
        finishItem(
            item,
            result.crashed
                ? tr("The encoder crashed (signal %1).").arg(result.exitCode)
                : tr("The encoder stopped with an error (exit code %1).").arg(result.exitCode));
        return;
    }
    // The first of two passes has measured the picture: the second writes the file.
    if (item->secondPass) {
        const ToolCommand second = *std::exchange(item->secondPass, std::nullopt);
        if (!startEncoderJob(item, second))
            finishItem(item, tr("The encoder tool could not be started."));
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
        const QString folder = QFileInfo(item->output).absolutePath();
        if (!m_writtenFolders.contains(folder))
            m_writtenFolders.append(folder);
        ++m_converted;
        list.setOutputPath(item->id, item->output);
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
        if (m_settings.scoreQuality && item->expectVideo)
            m_scorer.enqueue(item->id,
                             {item->input, item->output, item->clipStart, item->clipLength});
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

void BatchRun::stopItem(Item* item, bool markRow) {
    // The encoder is sent "q" (and ended should it not listen); the unfinished file goes once
    // it has, and only it: whatever is under the output's name stays as it was.
    if (item->check)
        delete item->check;
    item->hold.release();
    // The pass log's folder goes once the encoder has let go of it.
    const auto settle = [partial = item->encodePath, made = item->encodeFile,
                         passes = item->passFolder] { removeIfSame(partial, made); };
    if (ToolJob* job = item->job) {
        disconnect(job, nullptr, this, nullptr);
        connect(job, &ToolJob::finished, job, &QObject::deleteLater);
        connect(job, &ToolJob::finished, job, settle);
        job->stop();
    } else {
        settle();
    }
    m_reservedOutputs.removeOne(item->output);
    if (markRow)
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
    m_scorer.setSuspended(paused); // a pause frees the processor of everything the run does
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
        m_scorer.setSuspended(false);
        emit pausedChanged(false);
    }
    if (end != RunOutcome::End::Completed)
        clearWaitingRows();
    m_stopping = false;
    m_finishingUp = false;
    m_running = false;
    m_pending.clear();
    RunOutcome outcome;
    outcome.end = end;
    outcome.tried = m_itemsTried;
    outcome.failed = m_failed;
    outcome.converted = m_converted;
    outcome.missingInput = m_missingInput;
    // Beside the sources: the folder of the first file written (often the only one).
    outcome.outputFolder = m_settings.nextToSource && !m_writtenFolders.isEmpty()
                               ? m_writtenFolders.first()
                               : m_settings.outputFolder;
    emit busyChanged(false);
    emit runFinished(outcome);
}

} // namespace clipvane
