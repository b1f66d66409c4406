#pragma once

#include "convert/encodercommand.h"

#include <QObject>
#include <QString>
#include <QTemporaryDir>
#include <memory>
#include <optional>

namespace clipvane {

class ToolProcess;

// A short sample of what a row's options give: the first 10 s of its clip (the whole clip when
// shorter) encoded as the run would, into a private temporary folder, never the output
// folder. Starting another sample, or the preview's end (the program's), removes the last one
// and stops an encoder still at it.
class OutputPreview : public QObject {
    Q_OBJECT
public:
    static constexpr qint64 kSampleCentiseconds = 1000;

    explicit OutputPreview(QObject* parent = nullptr);
    ~OutputPreview() override;

    // Starts a sample of the inputs (their output folder is replaced by a private one); why
    // not, when it cannot be made. ready or failed follows a start.
    std::optional<QString> start(EncoderInputs inputs);
    bool isRunning() const;
    // The folder of the current sample, empty when there is none.
    QString folder() const;

signals:
    // The sample is there: its path, length in seconds and size in bytes.
    void ready(const QString& path, double seconds, qint64 bytes);
    void failed(const QString& reason);

private:
    void discard();

    std::unique_ptr<QTemporaryDir> m_folder;
    std::unique_ptr<ToolProcess> m_encoder;
};

// "4.2 MB per minute" for a sample of that size and length.
QString sizePerMinuteText(qint64 bytes, double seconds);

} // namespace clipvane
