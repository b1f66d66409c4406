#pragma once

#include "process/toolprocess.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <memory>

namespace clipvane {

// What FFmpeg's prober says of an output, judged against the clip it should hold: an empty
// string when the output is what the row will claim, else why not, in words for the user.
// probeJson is the prober's JSON for the output's first video stream (its first audio stream
// when no video is expected) and its format.
QString judgeOutput(const QByteArray& probeJson, qint64 clipSeconds, bool expectVideo = true);

// How far an output's length may be from its clip's: a second (the length is read rounded up
// to whole seconds) or 2 % of a long clip.
double lengthTolerance(qint64 clipSeconds);

// Looks at a converted file with FFmpeg's prober, without blocking: finished() carries the
// judgement. Where the prober cannot be run at all, a non-empty file passes.
class OutputCheck : public QObject {
    Q_OBJECT
public:
    explicit OutputCheck(QObject* parent = nullptr);
    ~OutputCheck() override;
    // expectVideo false: a sound-only output, judged by its first audio stream.
    void start(const QString& outputPath, qint64 clipSeconds, bool expectVideo = true);

    static constexpr int kTimeoutMs = 60000;

signals:
    void finished(const QString& failure);

private:
    void done(const QString& failure);

    std::unique_ptr<ToolProcess> m_prober;
    QString m_path;
    qint64 m_clipSeconds = 0;
    bool m_expectVideo = true;
    bool m_done = false;
};

} // namespace clipvane
