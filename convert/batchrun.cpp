#include "convert/batchrun.h"

#include "base/apppaths.h"
#include "base/desktopservices.h"
#include "base/messageboxes.h"
#include "base/textvalues.h"
#include "convert/encodercommand.h"
#include "convert/encoderprogress.h"
#include "options/optionsheet.h"
#include "options/profiles.h"
#include "process/childtools.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace clipvane {
namespace {
constexpr int kProgressPollMs = 500;
constexpr qint64 kOldLogAgeSeconds = 7 * 24 * 3600;

// Keeps the logs of the last few runs (of any instance) and removes the rest.
void tidyLogs(const QString& folder, int keptRuns) {
    if (folder.isEmpty())
        return;
    // encoder-<pid>-<run>-<item>.log: a run is its name up to the item.
    QMap<QString, QDateTime> newestOfRun;
    const QFileInfoList logs =
        QDir(folder).entryInfoList({QStringLiteral("encoder-*.log")}, QDir::Files, QDir::Time);
    for (const QFileInfo& log : logs) {
        const QString run = log.fileName().section(QLatin1Char('-'), 0, 2);
        if (!newestOfRun.contains(run))
            newestOfRun.insert(run, log.lastModified());
    }
    QList<QDateTime> times = newestOfRun.values();
    std::sort(times.begin(), times.end(), std::greater<>());
    if (times.size() <= keptRuns)
        return;
    const QDateTime oldestKept = times.at(keptRuns - 1);
    for (const QFileInfo& log : logs) {
        if (newestOfRun.value(log.fileName().section(QLatin1Char('-'), 0, 2)) < oldestKept)
            QFile::remove(log.absoluteFilePath());
    }
}
} // namespace

BatchRun::BatchRun(const Environment& env, QObject* parent) : QObject(parent), m_env(env) {
    m_timer2.setObjectName(QStringLiteral("Timer2"));
    m_timer2.setInterval(1000);
    connect(&m_timer2, &QTimer::timeout, this, &BatchRun::Timer2_Timer);
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

QString BatchRun::elapsedText() const {
    return timeText(m_elapsed);
}

void BatchRun::Timer2_Timer() {
    ++m_elapsed;
    emit elapsedTextChanged(elapsedText());
}

void BatchRun::setPanelVisible(bool visible) {
    m_panelVisible = visible;
    emit panelVisibleChanged(visible);
}

void BatchRun::setTrack(int value) {
    if (m_track == value)
        return;
    m_track = value;
    emit trackProgressChanged(value);
}

void BatchRun::setTotal(int value) {
    if (m_total == value)
        return;
    m_total = value;
    emit totalProgressChanged(value);
}

void BatchRun::setFrameCaption(const QString& caption) {
    m_frameCaption = caption;
    emit frameCaptionChanged(caption);
}

bool BatchRun::canStart() const {
    return !m_running && m_env.list && m_env.list->count() > 0;
}

void BatchRun::BurnNow() {
    if (!canStart())
        return;
    m_running = true;
    setFrameCaption(QLatin1String(kFrameCaption));
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
    // The run about to start counts as one of the kept.
    tidyLogs(cacheFolder(), kKeptRunLogs - 1);
    m_elapsed = 0;
    emit elapsedTextChanged(elapsedText());
    m_timer2.start();

    // The rows of this run, fixed now. A row removed meanwhile is skipped.
    m_ids.clear();
    for (int row = 0; row < m_env.list->count(); ++row)
        m_ids.push_back(m_env.list->idAt(row));
    m_next = 0;
    m_visited = 0;
    m_failed = 0;
    m_written.clear();
    startNextItem();
}

void BatchRun::startNextItem() {
    while (m_running && m_next < m_ids.size()) {
        const SourceList::Id id = m_ids[m_next++];
        if (!m_env.list->contains(id))
            continue;
        switch (startItem(id)) {
        case ItemStart::Started:
        case ItemStart::StopRun:
            return;
        case ItemStart::Skipped:
            break;
        }
    }
    if (m_running)
        complete();
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
    if (!QFileInfo::exists(input)) {
        if (m_env.messages)
            m_env.messages->error(QStringLiteral("Invalid input file name. ") + input);
        endRunEarly();
        return ItemStart::StopRun;
    }
    ++m_visited;

    EncoderInputs in;
    in.programFolder = programFolder();
    in.inputPath = input;
    in.clipStart = list.text(id, SourceList::Start);
    in.clipEnd = list.text(id, SourceList::End);
    const int profile = m_env.profileIndex ? m_env.profileIndex() : 0;
    if (profile >= 1 && profile <= profileCatalogue().size())
        in.profileCaption = profileCatalogue().at(profile - 1).caption;
    if (!m_env.sheet || !readEncoderOptions(*m_env.sheet, in)) {
        failItem(id, QStringLiteral("The option sheet is incomplete."));
        return ItemStart::Skipped;
    }
    in.outputFolder = m_settings.outputFolder;
    in.existedFile = m_settings.existedFile;
    in.threadCount = m_settings.threads;
    in.writtenByBatch = m_written;

    const EncoderCommandResult built = buildEncoderCommand(in);
    if (const auto* error = std::get_if<EncoderCommandError>(&built)) {
        // A file the probe could not read fails with the probe's own reason.
        const bool unreadable = in.clipEnd.isEmpty() || in.clipEnd == QLatin1String("0:00:00");
        failItem(id, unreadable && !list.note(id).isEmpty() ? list.note(id) : error->reason);
        return ItemStart::Skipped;
    }
    const EncoderCommand& command = std::get<EncoderCommand>(built);

    m_currentId = id;
    m_currentOutput = command.outputPath;
    m_currentEncodePath = command.encodePath;
    m_currentNote = command.batchConflict.isEmpty()
                        ? QString()
                        : QStringLiteral("Saved as %1 because %2 was written by an earlier file "
                                         "of this batch.")
                              .arg(QFileInfo(command.outputPath).fileName(),
                                   QFileInfo(command.batchConflict).fileName());
    m_outputExisted = QFileInfo::exists(command.outputPath);
    m_clipSeconds = command.clipSeconds;
    m_passes = 0;
    m_reported = false;
    setFrameCaption(QLatin1String(kFrameCaption) + input + QStringLiteral(" To ") +
                    command.outputPath);
    list.setText(id, SourceList::Status, QStringLiteral("Processing"));
    list.setNote(id, QString());

    ToolJob::Options options;
    options.workingDirectory = programFolder();
    options.logFile = nextLogPath();
    if (options.logFile.isEmpty())
        m_currentNote = QStringLiteral("No log could be written for this file, so Clipvane "
                                       "cannot tell why it might fail.\n") +
                        m_currentNote;
    options.toolName = QLatin1String(kEncoderTool);
    options.keys = m_env.keys;
    options.pollMs = kProgressPollMs;
    options.stopGraceMs = kStopGraceMs;

    auto* job = new ToolJob(this);
    m_job = job;
    connect(job, &ToolJob::started, this, [this](qint64 pid) {
        m_encoderPid = pid;
        setTrack(10);
        emit encoderStarted(pid);
    });
    connect(job, &ToolJob::polled, this, &BatchRun::onPolled);
    connect(job, &ToolJob::finished, this, &BatchRun::onItemFinished);
    if (!job->start(command.commandLine, options)) {
        m_job = nullptr;
        job->deleteLater();
        failItem(id, QStringLiteral("The encoder tool could not be started."));
        return ItemStart::Skipped;
    }
    // A listener of encoderStarted may already have cancelled the run.
    return m_running ? ItemStart::Started : ItemStart::StopRun;
}

void BatchRun::onPolled(std::optional<double> reportedSeconds) {
    // The encoder's own time= reports against the clip length; where it reports none, an
    // estimate that climbs one step every (clip seconds / 3) polls, held at 83.
    if (reportedSeconds && m_clipSeconds > 0) {
        m_reported = true;
        setTrack(std::max(m_track, trackProgressFor(*reportedSeconds, m_clipSeconds)));
        return;
    }
    if (m_reported)
        return;
    if (++m_passes >= m_clipSeconds / 3) {
        m_passes = 0;
        setTrack(std::min(m_track + 1, 83));
    }
}

void BatchRun::onItemFinished(const ToolJobResult& result) {
    if (m_job) {
        m_job->deleteLater();
        m_job = nullptr;
    }
    m_currentErrorLines = result.errorLines;
    if (!result.succeeded()) {
        finishItem(result.crashed
                       ? QStringLiteral("The encoder crashed (signal %1).").arg(result.exitCode)
                       : QStringLiteral("The encoder stopped with an error (exit code %1).")
                             .arg(result.exitCode));
        return;
    }
    // The encoder says it is done; the file must say so too before the row does.
    auto* check = new OutputCheck(this);
    m_check = check;
    connect(check, &OutputCheck::finished, this, &BatchRun::onOutputChecked);
    check->start(m_currentEncodePath, m_clipSeconds);
}

void BatchRun::onOutputChecked(const QString& failure) {
    if (m_check) {
        m_check->deleteLater();
        m_check = nullptr;
    }
    QString reason = failure;
    if (reason.isEmpty() && m_currentEncodePath != m_currentOutput &&
        std::rename(QFile::encodeName(m_currentEncodePath).constData(),
                    QFile::encodeName(m_currentOutput).constData()) != 0) {
        reason = QStringLiteral("The new file could not replace the old one: %1.")
                     .arg(QString::fromLocal8Bit(std::strerror(errno)));
    }
    finishItem(reason);
}

void BatchRun::finishItem(const QString& failure) {
    SourceList& list = *m_env.list;
    const SourceList::Id id = m_currentId;
    setTrack(100);
    if (failure.isEmpty()) {
        list.setText(id, SourceList::Status, QStringLiteral("OK"));
        list.setNote(id, m_currentNote);
        m_written.append(m_currentOutput);
    } else {
        QString reason = failure;
        if (!m_currentErrorLines.isEmpty())
            reason += QLatin1Char('\n') + m_currentErrorLines;
        failItem(id, reason);
        // What this item wrote is broken; a file that was there before it started is not ours
        // to remove (an overwrite wrote under a hidden name, so the old file is whole).
        if (m_currentEncodePath != m_currentOutput || !m_outputExisted)
            QFile::remove(m_currentEncodePath);
    }
    m_currentErrorLines.clear();

    m_completedShare = std::min(
        100, static_cast<int>(roundHalfEven(100.0 / std::max(1, list.count()) + m_completedShare)));
    setTotal(m_completedShare);
    startNextItem();
}

void BatchRun::Command1_Click() {
    if (!m_running)
        return;
    if (m_waitingForProbes) {
        m_waitingForProbes = false;
        if (m_env.messages)
            m_env.messages->error(QStringLiteral("Conversion Canceled by the user!"));
        endRunEarly();
        return;
    }
    if (m_check) {
        // The encoder had finished and its file was being looked at: the file stays, as a
        // cancelled item's does, but an unchecked overwrite does not replace the old file.
        delete m_check;
        if (m_currentEncodePath != m_currentOutput)
            QFile::remove(m_currentEncodePath);
        m_env.list->setText(m_currentId, SourceList::Status, QStringLiteral("Cancel"));
        emit busyChanged(false);
        if (m_env.messages)
            m_env.messages->error(QStringLiteral("Conversion Canceled by the user!"));
        endRunEarly();
        return;
    }
    ToolJob* job = m_job;
    if (!job)
        return;
    // The stopped encoder ends on its own time; the run does not wait for it, and its partial
    // file stays, as the user stopped it.
    m_job = nullptr;
    disconnect(job, nullptr, this, nullptr);
    connect(job, &ToolJob::finished, job, &QObject::deleteLater);
    if (m_currentEncodePath != m_currentOutput) {
        // An overwrite in progress: the old file stays, the unfinished new one goes.
        const QString partial = m_currentEncodePath;
        connect(job, &ToolJob::finished, job, [partial] { QFile::remove(partial); });
    }
    m_env.list->setText(m_currentId, SourceList::Status, QStringLiteral("Cancel"));
    emit busyChanged(false);
    job->stop();
    if (m_env.messages)
        m_env.messages->error(QStringLiteral("Conversion Canceled by the user!"));
    endRunEarly();
}

void BatchRun::endRunEarly() {
    m_timer2.stop();
    emit busyChanged(false);
    setTrack(0);
    setTotal(0);
    setPanelVisible(false);
    m_running = false;
    emit runFinished();
}

void BatchRun::complete() {
    m_timer2.stop();
    setTotal(100);
    emit busyChanged(false);
    if (Preferences().autoShut() && m_env.desktop)
        m_env.desktop->shutdown();
    if (m_env.messages) {
        const QString done = QStringLiteral("Conversion completed!");
        if (m_failed == 0) {
            m_env.messages->information(done);
        } else {
            m_env.messages->warning(
                done + QLatin1Char('\n') +
                QStringLiteral("%1 of %2 %3 failed. Hover over a failed row to see why.")
                    .arg(m_failed)
                    .arg(m_visited)
                    .arg(m_visited == 1 ? QStringLiteral("file") : QStringLiteral("files")));
        }
    }
    setTrack(0);
    setTotal(0);
    setPanelVisible(false);
    m_completedShare = 0;
    m_running = false;
    if (m_env.desktop && QFileInfo(m_settings.outputFolder).isDir())
        m_env.desktop->openFolder(m_settings.outputFolder);
    emit runFinished();
}

} // namespace clipvane
