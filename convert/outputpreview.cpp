#include "convert/outputpreview.h"

#include "process/toolprocess.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <algorithm>
#include <csignal>

namespace clipvane {

OutputPreview::OutputPreview(QObject* parent) : QObject(parent) {}

OutputPreview::~OutputPreview() {
    discard();
}

void OutputPreview::discard() {
    // The encoder first: it must not write into the folder as it goes.
    if (m_encoder) {
        m_encoder->disconnect(this);
        m_encoder->kill();
        m_encoder.reset();
    }
    m_folder.reset();
}

bool OutputPreview::isRunning() const {
    return m_encoder && m_encoder->isRunning();
}

QString OutputPreview::folder() const {
    return m_folder ? m_folder->path() : QString();
}

std::optional<QString> OutputPreview::start(EncoderInputs in) {
    discard();
    m_folder = std::make_unique<QTemporaryDir>(QDir::tempPath() +
                                               QStringLiteral("/clipvane-preview-XXXXXX"));
    if (!m_folder->isValid()) {
        const QString why = m_folder->errorString();
        m_folder.reset();
        return QCoreApplication::translate("OutputPreview",
                                           "No private folder could be made for the sample: %1")
            .arg(why);
    }
    in.outputFolder = m_folder->path();
    in.overwrite = true;
    in.writtenByBatch.clear();
    in.passLogFolder.clear(); // one pass is enough to see the picture
    if (in.clipStart && in.clipEnd)
        in.clipEnd = std::min(*in.clipEnd, *in.clipStart + kSampleCentiseconds);
    in.exactLength = 0; // the sample's own end, not the file's
    const EncoderCommandResult built = buildEncoderCommand(in);
    if (const auto* error = std::get_if<EncoderCommandError>(&built)) {
        m_folder.reset();
        return error->reason;
    }
    const EncoderCommand command = std::get<EncoderCommand>(built);
    m_encoder = std::make_unique<ToolProcess>();
    ToolProcess::Options options;
    options.workingDirectory = in.programFolder;
    options.standardError = ToolProcess::Channel::Keep;
    options.keepBytes = 16 * 1024;
    options.deathSignal = SIGKILL;
    options.endsAtQuickExit = true;
    const QString encodePath = command.encodePath;
    const QString samplePath = command.outputPath;
    const double seconds = command.clipLength;
    connect(m_encoder.get(), &ToolProcess::finished, this,
            [this, encodePath, samplePath, seconds](const ToolExit& exit) {
                const QByteArray errors = m_encoder ? m_encoder->errors() : QByteArray();
                if (!exit.succeeded() || !QFile::rename(encodePath, samplePath)) {
                    const QList<QByteArray> lines = errors.trimmed().split('\n');
                    emit failed(QCoreApplication::translate("OutputPreview",
                                                            "The sample could not be made: %1")
                                    .arg(QString::fromUtf8(lines.value(lines.size() - 1))));
                    return;
                }
                emit ready(samplePath, seconds, QFile(samplePath).size());
            });
    if (!m_encoder->start(command.command.arguments(), options)) {
        m_encoder.reset();
        m_folder.reset();
        return QCoreApplication::translate("OutputPreview",
                                           "The encoder tool could not be started.");
    }
    return std::nullopt;
}

QString sizePerMinuteText(qint64 bytes, double seconds) {
    const double perMinute = seconds > 0 ? double(bytes) * 60.0 / seconds : 0;
    return QCoreApplication::translate("OutputPreview", "%1 MB per minute")
        .arg(QString::number(perMinute / 1e6, 'f', perMinute < 1e7 ? 1 : 0));
}

} // namespace clipvane
