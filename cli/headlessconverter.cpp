#include "cli/headlessconverter.h"

#include "convert/outputsize.h"
#include "convert/plannedoutput.h"
#include "options/profiles.h"
#include "process/childtools.h"
#include "process/tooljob.h"

#include <QFileInfo>
#include <QTimer>

namespace clipvane {

HeadlessConverter::HeadlessConverter(OptionSheet* sheet, int profileIndex,
                                     const RunSettings& settings, QObject* parent)
    : QObject(parent), m_sheet(sheet), m_profileIndex(profileIndex), m_settings(settings),
      m_probes(m_list),
      m_batch(BatchRun::Environment{&m_list, sheet, [this] { return m_profileIndex; },
                                    &ChildTools::instance()}) {
    qRegisterMetaType<FileResult>();
    // A file leaves the run's list as soon as it is done: a comparison with its source (asked
    // for with setScoring) is made here, on a list of its own, before the file is reported.
    m_settings.scoreQuality = false;
    connect(&m_scorer, &QualityScorer::scored, this, &HeadlessConverter::onScored);
    connect(&m_probes, &ProbeQueue::rowProbed, this, [this](quint64 id) {
        const auto clip = m_clips.find(id);
        if (clip == m_clips.end() || !m_list.contains(id))
            return;
        const std::optional<qint64> length = m_list.clipEnd(id);
        std::optional<qint64> end = clip->second ? clip->second : length;
        if (length && end)
            end = std::min(*end, *length);
        m_list.setClip(id, clip->first.value_or(0), end);
    });
    connect(
        &m_batch, &BatchRun::itemStarted, this,
        [this](SourceList::Id id, const QString& input, const QString& output, qint64 clipSeconds) {
            // Two passes start the encoder twice: the file started once, with the first.
            if (m_started.contains(id))
                return;
            m_started[id].start();
            m_clipSeconds[id] = clipSeconds;
            emit fileStarted(input, output);
        });
    connect(&m_batch, &BatchRun::itemPolled, this,
            [this](SourceList::Id id, std::optional<double> reported) {
                const qint64 clip = m_clipSeconds.value(id);
                if (!reported || clip <= 0 || !m_started.contains(id))
                    return;
                const double share = std::clamp(*reported / double(clip), 0.0, 1.0);
                const double elapsed = m_started[id].elapsed() / 1000.0;
                const double left = share > 0 ? elapsed * (1 - share) / share : -1;
                emit fileProgress(m_list.text(id, SourceList::FileName), share, left);
            });
    // A row says OK or Fail once its note and output are set too; a file that fails before its
    // encoder starts gets no item signal, so the row's Status is what is followed.
    connect(&m_list, &SourceList::dataChanged, this,
            [this](const QModelIndex& from, const QModelIndex& to) {
                if (from.column() > SourceList::Status || to.column() < SourceList::Status)
                    return;
                for (int row = from.row(); row <= to.row(); ++row) {
                    const SourceList::Id id = m_list.idAt(row);
                    QTimer::singleShot(0, this, [this, id] {
                        if (!m_list.contains(id))
                            return;
                        const QString status = m_list.text(id, SourceList::Status);
                        if (status == QLatin1String("OK") || status == QLatin1String("Fail"))
                            reportRow(id, status);
                    });
                }
            });
    connect(&m_batch, &BatchRun::runFinished, this, [this](const RunOutcome& outcome) {
        // After the rows' own reports, which are queued.
        QTimer::singleShot(0, this, [this, outcome] { onRunFinished(outcome); });
    });
}

void HeadlessConverter::add(const QString& path, std::optional<qint64> start,
                            std::optional<qint64> end) {
    const QFileInfo info(path);
    QString problem;
    if (!info.exists())
        problem = QStringLiteral("The file is not there.");
    else if (!info.isFile())
        problem = QStringLiteral("This is not a file.");
    else if (!info.isReadable())
        problem = QStringLiteral("The file cannot be read.");
    if (!problem.isEmpty() || m_stopping) {
        FileResult result{info.absoluteFilePath(), {}, QStringLiteral("Fail"), problem};
        if (m_stopping)
            result = {info.absoluteFilePath(), {}, QStringLiteral("Cancel"), {}};
        QTimer::singleShot(0, this, [this, result] {
            emit fileDone(result);
            if (isIdle())
                emit idle();
        });
        return;
    }
    const SourceList::Id id = m_probes.add(info.absoluteFilePath());
    if (start || end)
        m_clips.insert(id, {start, end});
    QTimer::singleShot(0, this, &HeadlessConverter::startWhenReady);
}

void HeadlessConverter::startWhenReady() {
    if (m_batch.isRunning() || m_stopping || m_list.count() == 0)
        return;
    if (const std::optional<QString> problem = m_batch.start(m_settings)) {
        emit refused(*problem);
        for (int row = 0; row < m_list.count(); ++row)
            reportRow(m_list.idAt(row), QStringLiteral("Fail"), *problem);
        m_list.clearAll();
        emit idle();
    }
}

void HeadlessConverter::reportRow(SourceList::Id id, const QString& status, const QString& reason) {
    if (m_reported.contains(id))
        return;
    m_reported.insert(id);
    FileResult result;
    result.input = m_list.text(id, SourceList::FileName);
    result.status = status;
    result.reason =
        reason.isEmpty() && status != QLatin1String("Cancel") ? m_list.note(id) : reason;
    if (status == QLatin1String("OK")) {
        result.output = m_list.outputPath(id);
        result.size = QFileInfo(result.output).size();
    }
    if (m_started.contains(id))
        result.seconds = m_started.value(id).elapsed() / 1000.0;
    // What the rates or the Target Size said it would weigh.
    const RowEncoding encoding = rowEncoding(m_list, id, m_profileIndex, m_sheet);
    if (const auto* options = std::get_if<EncoderOptions>(&encoding.options)) {
        EncoderInputs in = rowInputs(m_list, id, encoding.profile, m_settings);
        in.options = *options;
        if (const std::optional<SizeEstimate> estimate = rateEstimate(in))
            result.estimate = estimate->bytes;
        if (options->targetBytes)
            result.target = static_cast<qint64>(*options->targetBytes);
        // A picture is compared with its source before the file is reported.
        if (m_score && status == QLatin1String("OK") && encoding.profile &&
            !encoding.profile->isSoundOnly() && m_list.streamFacts(id).hasVideo && !m_stopping) {
            const SourceList::Id scored = m_scored.append(result.output);
            m_waitingForScore.insert(scored, result);
            const double start = static_cast<double>(in.clipStart.value_or(0)) / 100.0;
            m_scorer.enqueue(scored, {result.input, result.output, start, clipSecondsOf(in)});
            return;
        }
    }
    emit fileDone(result);
}

void HeadlessConverter::onScored(SourceList::Id id, const std::optional<OutputScore>& score) {
    auto waiting = m_waitingForScore.find(id);
    if (waiting == m_waitingForScore.end())
        return;
    FileResult result = *waiting;
    m_waitingForScore.erase(waiting);
    m_scored.removeAt(m_scored.rowOf(id));
    result.score = score;
    emit fileDone(result);
    if (isIdle())
        emit idle();
}

void HeadlessConverter::stopNow() {
    if (m_stopping)
        return;
    m_stopping = true;
    // Files already converted are reported as they are, without their comparison.
    m_scorer.clear();
    for (const FileResult& result : std::as_const(m_waitingForScore))
        emit fileDone(result);
    m_waitingForScore.clear();
    m_scored.clearAll();
    if (m_batch.isRunning())
        m_batch.cancel(); // runFinished reports the rest
    else {
        RunOutcome outcome;
        outcome.end = RunOutcome::End::Cancelled;
        onRunFinished(outcome);
    }
}

void HeadlessConverter::onRunFinished(const RunOutcome& outcome) {
    for (int row = 0; row < m_list.count(); ++row) {
        const SourceList::Id id = m_list.idAt(row);
        const QString status = m_list.text(id, SourceList::Status);
        if (status == QLatin1String("OK") || status == QLatin1String("Fail"))
            reportRow(id, status);
        else if (outcome.end == RunOutcome::End::MissingInput &&
                 m_list.text(id, SourceList::FileName) == outcome.missingInput)
            reportRow(id, QStringLiteral("Fail"), QStringLiteral("The file is not there."));
        else if (m_stopping || status == QLatin1String("Cancel"))
            reportRow(id, QStringLiteral("Cancel"));
    }
    // Rows done leave the list; the rest (added during the run, or after a file that went
    // missing) make the next run.
    for (int row = m_list.count() - 1; row >= 0; --row)
        if (m_reported.contains(m_list.idAt(row)))
            m_list.removeAt(row);
    if (m_stopping)
        return checkStopped();
    if (m_list.count() > 0)
        startWhenReady();
    else if (isIdle())
        emit idle();
}

void HeadlessConverter::checkStopped() {
    // Stopped encoders end on their own; their partial files go as they do.
    const QList<ToolJob*> jobs = m_batch.findChildren<ToolJob*>();
    if (jobs.isEmpty()) {
        if (!m_stoppedSaid)
            emit stopped();
        m_stoppedSaid = true;
        return;
    }
    for (ToolJob* job : jobs)
        connect(job, &QObject::destroyed, this, &HeadlessConverter::checkStopped,
                Qt::ConnectionType(Qt::QueuedConnection | Qt::UniqueConnection));
}

} // namespace clipvane
