#include "cli/headlessconverter.h"

#include "process/childtools.h"
#include "process/tooljob.h"

#include <QFileInfo>
#include <QTimer>

namespace clipvane {

HeadlessConverter::HeadlessConverter(OptionSheet* sheet, int profileIndex,
                                     const RunSettings& settings, QObject* parent)
    : QObject(parent), m_profileIndex(profileIndex), m_settings(settings), m_probes(m_list),
      m_batch(BatchRun::Environment{&m_list, sheet, [this] { return m_profileIndex; },
                                    &ChildTools::instance()}) {
    qRegisterMetaType<FileResult>();
    // A file is reported (and left) as soon as it is done; a comparison with its source would
    // be cut short by the program's end, so none is started.
    m_settings.scoreQuality = false;
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
    emit fileDone(result);
}

void HeadlessConverter::stopNow() {
    if (m_stopping)
        return;
    m_stopping = true;
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
    else
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
