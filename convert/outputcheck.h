#pragma once

#include "sources/mediareader.h"

#include <QFutureWatcher>
#include <QTimer>

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>
#include <memory>

namespace clipvane {

// What is known of an output when it is judged: the file itself, and what FFmpeg's prober said
// of it (see proberArguments).
struct OutputFacts {
    QString extension;      // ".flv", in lower case
    qint64 fileBytes = 0;   // the size on disk
    QByteArray head;        // the first bytes of the file (an SWF's header)
    QByteArray probeJson;   // the prober's standard output
    QByteArray probeErrors; // its error output: empty for a sound file
    int probeExitCode = 0;
};

// The prober's arguments (after the program) for an output: what each container tells of a
// finished file, read without going through the whole file. An FLV's metadata, rewritten by
// the encoder's last step, names the file's size and length; an SWF's header its size and
// frame count (read from the file itself, the prober only shows a first frame); anything else
// is read at its end, the last stretch of packets after a seek past the end through the
// container's index, where a file cut short or never finished shows (an MP3 of a clip of
// clipSeconds, when longer than half a minute, from a little before the clip's end, through
// its table of contents). However long the output, only its head and its end are read.
// The check reads the same in this process (outputReading); these arguments give the same
// reading from a shell, for comparisons.
QStringList proberArguments(const QString& outputPath, bool expectVideo, qint64 clipSeconds = 0);
PacketReading outputReading(const QString& outputPath, bool expectVideo, qint64 clipSeconds = 0);

// Judges an output against the clip it should hold: an empty string when it is what the row
// will claim, else why not, in words for the user. It must be whole (a finished file, read to
// its end without a complaint) and hold video (or, when no video is expected, sound) lasting
// the clip.
QString judgeOutput(const OutputFacts& facts, qint64 clipSeconds, bool expectVideo = true);

// How far an output's length may be from its clip's: a second (the length is read rounded up
// to whole seconds) or 2 % of a long clip.
double lengthTolerance(qint64 clipSeconds);

// Looks at a converted file with FFmpeg's own libraries on a worker thread, without blocking:
// finished() carries the judgement. A file that cannot be read within the time limit fails.
class OutputCheck : public QObject {
    Q_OBJECT
public:
    explicit OutputCheck(QObject* parent = nullptr);
    ~OutputCheck() override;
    void setTimeLimitMs(int ms) { m_timeLimitMs = ms; }
    // expectVideo: false for a sound-only output, which must hold sound lasting the clip.
    void start(const QString& outputPath, qint64 clipSeconds, bool expectVideo = true);

    static constexpr int kTimeoutMs = 60000;

signals:
    void finished(const QString& failure);

private:
    void done(const QString& failure);
    void doneLater(const QString& failure);

    std::unique_ptr<QFutureWatcher<PacketListing>> m_reading;
    QTimer m_timer;
    OutputFacts m_facts;
    qint64 m_clipSeconds = 0;
    bool m_expectVideo = true;
    int m_timeLimitMs = kTimeoutMs;
    bool m_done = false;
};

} // namespace clipvane
