#include "convert/sizeestimator.h"

#include "process/toolprocess.h"

#include <QDir>
#include <QFile>
#include <algorithm>
#include <csignal>

namespace clipvane {

namespace {
// Output names are not looked up for an estimate: nothing on disk changes what a file weighs.
bool nothingTaken(const QString&) {
    return false;
}
const QString kNoFolder = QStringLiteral("/clipvane-estimate");
} // namespace

QString estimateKey(const EncoderInputs& inputs) {
    EncoderInputs in = inputs;
    in.outputFolder = kNoFolder;
    in.overwrite = true;
    in.writtenByBatch.clear();
    in.passLogFolder.clear();
    const EncoderCommandResult built = buildEncoderCommand(in, nothingTaken);
    const auto* command = std::get_if<EncoderCommand>(&built);
    if (!command)
        return QString();
    QStringList args = command->command.arguments();
    args.removeLast(); // the output's (hidden) name
    return args.join(QLatin1Char('\n'));
}

std::optional<QStringList> sampleArguments(const EncoderInputs& inputs, const SampleWindow& window,
                                           const QString& listingPath) {
    EncoderInputs in = inputs;
    in.outputFolder = kNoFolder;
    in.overwrite = true;
    in.writtenByBatch.clear();
    in.passLogFolder.clear();
    const qint64 length = window.leadIn + window.counted;
    // A window that is the whole clip keeps the clip's own end (its exact length).
    if (!(in.clipStart == window.start && in.clipEnd == window.start + length)) {
        in.clipStart = window.start;
        in.clipEnd = window.start + length;
        in.exactLength = 0;
    }
    const EncoderCommandResult built = buildEncoderCommand(in, nothingTaken);
    const auto* command = std::get_if<EncoderCommand>(&built);
    if (!command)
        return std::nullopt;
    QStringList args = command->command.arguments();
    // The packets' list instead of the file: what each weighs is all a sample is for.
    args.removeLast();
    const qsizetype format = args.lastIndexOf(QStringLiteral("-f"));
    if (format < 0 || format + 1 >= args.size())
        return std::nullopt;
    args[format + 1] = QStringLiteral("framecrc");
    const qsizetype flags = args.indexOf(QStringLiteral("-movflags"));
    if (flags >= 0 && flags + 1 < args.size())
        args.remove(flags, 2);
    args << listingPath;
    return args;
}

SizeEstimator::SizeEstimator(SourceList* list, InputsFor inputsFor, QObject* parent)
    : QObject(parent), m_list(list), m_inputsFor(std::move(inputsFor)) {
    m_settle.setSingleShot(true);
    m_settle.setInterval(kSettleMs);
    connect(&m_settle, &QTimer::timeout, this, &SizeEstimator::refresh);
}

SizeEstimator::~SizeEstimator() {
    abortCurrent();
}

void SizeEstimator::refreshSoon() {
    m_settle.start();
}

bool SizeEstimator::set(SourceList::Id id, const std::optional<SizeEstimate>& estimate,
                        bool pending) {
    if (m_list->estimate(id) == estimate && (estimate || !pending))
        return false;
    m_list->setEstimate(id, estimate, pending);
    return true;
}

void SizeEstimator::refresh() {
    m_settle.stop();
    if (!m_list)
        return;
    // A run's own changes to its rows change no estimate: looked at once it is over.
    if (m_suspended) {
        m_refreshWhenResumed = true;
        return;
    }
    QHash<SourceList::Id, QString> keys;
    bool changed = false;
    for (int row = 0; row < m_list->count(); ++row) {
        const SourceList::Id id = m_list->idAt(row);
        const std::optional<EncoderInputs> inputs = m_inputsFor ? m_inputsFor(id) : std::nullopt;
        if (!inputs) {
            changed |= set(id, std::nullopt, false);
            continue;
        }
        if (const std::optional<SizeEstimate> known = rateEstimate(*inputs)) {
            changed |= set(id, known, false);
            continue;
        }
        const QString key = estimateKey(*inputs);
        const double seconds = clipSecondsOf(*inputs);
        if (key.isEmpty() || seconds <= 0) {
            changed |= set(id, std::nullopt, false);
            continue;
        }
        keys.insert(id, key);
        if (m_keys.value(id) == key)
            continue; // measured, or being measured, for just this
        changed |= set(id, std::nullopt, true);
        std::erase_if(m_waiting, [id](const Job& job) { return job.id == id; });
        Job job;
        job.id = id;
        job.key = key;
        job.inputs = *inputs;
        job.windows = sampleWindows(*inputs->clipStart, *inputs->clipEnd);
        job.clipSeconds = seconds;
        m_waiting.push_back(std::move(job));
    }
    // Counted as pending from now on, so the total says so.
    changed |= m_keys.size() != keys.size();
    m_keys = keys;
    if (changed)
        emit estimatesChanged();
    // Rows gone or changed take nothing from what was being measured for them.
    std::erase_if(m_waiting, [this](const Job& job) { return m_keys.value(job.id) != job.key; });
    if (m_current && m_keys.value(m_current->id) != m_current->key)
        abortCurrent();
    if (!m_tool)
        startNext();
}

void SizeEstimator::setSuspended(bool suspended) {
    if (suspended == m_suspended)
        return;
    m_suspended = suspended;
    if (m_tool)
        m_tool->setSuspended(suspended);
    else if (!suspended)
        startNext();
    if (!suspended && m_refreshWhenResumed) {
        m_refreshWhenResumed = false;
        refreshSoon();
    }
}

SizeEstimator::Total SizeEstimator::total() const {
    Total total;
    for (int row = 0; row < m_list->count(); ++row) {
        const SourceList::Id id = m_list->idAt(row);
        if (const std::optional<SizeEstimate> estimate = m_list->estimate(id)) {
            total.bytes += estimate->bytes;
            ++total.known;
        } else if (m_keys.contains(id)) {
            ++total.pending;
        }
    }
    return total;
}

void SizeEstimator::abortCurrent() {
    if (m_tool) {
        ToolProcess* tool = m_tool;
        m_tool = nullptr;
        disconnect(tool, nullptr, this, nullptr);
        tool->kill();
        tool->deleteLater();
    }
    m_current.reset();
    m_folder.reset();
}

void SizeEstimator::startNext() {
    if (m_suspended || m_tool)
        return;
    while (!m_waiting.empty()) {
        m_current = std::move(m_waiting.front());
        m_waiting.pop_front();
        if (!m_list->contains(m_current->id))
            continue;
        m_folder = std::make_unique<QTemporaryDir>(QDir::tempPath() +
                                                   QStringLiteral("/clipvane-estimate-XXXXXX"));
        if (m_folder->isValid() && startWindow())
            return;
        finishJob(std::nullopt);
    }
    m_current.reset();
    m_folder.reset();
    emit idle();
}

bool SizeEstimator::startWindow() {
    const SampleWindow window = m_current->windows.at(m_current->samples.size());
    const QString listing = m_folder->filePath(QStringLiteral("sample.crc"));
    QFile::remove(listing);
    std::optional<QStringList> args = sampleArguments(m_current->inputs, window, listing);
    if (!args)
        return false;
    if (!m_program.isEmpty())
        (*args)[0] = m_program;
    auto* tool = new ToolProcess(this);
    ToolProcess::Options options;
    options.workingDirectory = m_current->inputs.programFolder;
    options.niceness = kNiceness;
    options.deathSignal = SIGKILL;
    options.endsAtQuickExit = true;
    options.quitKey.clear();
    // A sample is seconds of work; one still going after minutes has gone wrong.
    options.timeLimitMs = 300 * 1000;
    connect(tool, &ToolProcess::finished, this,
            [this](const ToolExit& exit) { onSampleFinished(exit.succeeded()); });
    if (!tool->start(*args, options)) {
        delete tool;
        return false;
    }
    m_tool = tool;
    return true;
}

void SizeEstimator::onSampleFinished(bool succeeded) {
    if (m_tool) {
        m_tool->deleteLater();
        m_tool = nullptr;
    }
    if (!m_current)
        return startNext();
    const SampleWindow window = m_current->windows.at(m_current->samples.size());
    QFile file(m_folder->filePath(QStringLiteral("sample.crc")));
    std::optional<SampleBytes> sample;
    if (succeeded && file.open(QIODevice::ReadOnly))
        sample = parseFrameListing(file.readAll(), static_cast<double>(window.leadIn) / 100.0,
                                   static_cast<double>(window.counted) / 100.0);
    if (!sample) {
        finishJob(std::nullopt);
    } else {
        m_current->samples.append(*sample);
        if (m_current->samples.size() < m_current->windows.size()) {
            if (startWindow())
                return;
            finishJob(std::nullopt);
        } else {
            qint64 bytes = sampledEstimate(m_current->samples, m_current->clipSeconds);
            if (const std::optional<qint64> most = cappedBytes(m_current->inputs))
                bytes = std::min(bytes, *most);
            finishJob(SizeEstimate{bytes, SizeEstimate::Basis::Samples});
        }
    }
    m_current.reset();
    m_folder.reset();
    startNext();
}

void SizeEstimator::finishJob(const std::optional<SizeEstimate>& estimate) {
    if (!m_current || m_keys.value(m_current->id) != m_current->key)
        return;
    // A row whose samples fail shows no figure; the next change tries again.
    if (!estimate)
        m_keys.remove(m_current->id);
    set(m_current->id, estimate, false);
    emit estimatesChanged();
}

} // namespace clipvane
