#pragma once

#include <QMetaType>
#include <QObject>
#include <QString>
#include <memory>

class QTemporaryFile;

namespace clipvane {

struct QuickToolRun;

// What a finished recording left on disk.
struct RecordingCheck {
    bool saved = false;    // the file is there and holds pictures (or cannot be looked into)
    bool repaired = false; // it had no index (FFmpeg was killed) and was rewritten with one
    qint64 frames = -1;    // the pictures in it; -1 when the prober could not say
    QString problem;       // why it is not saved
};

// Looks at a recorded AVI in the background: that it exists, and, by FFmpeg's prober, that it
// holds pictures. A file whose writer was killed before its index (a device that hung) is
// rewritten with one when it holds pictures, so that it plays. Without a prober only the file
// is looked at. finished() comes from the event loop, never from inside start(); deleting the
// checker ends the tools it runs and leaves the file as it was.
class RecordingChecker : public QObject {
    Q_OBJECT
public:
    explicit RecordingChecker(QObject* parent = nullptr);
    ~RecordingChecker() override;

    void start(const QString& file);
    QString file() const { return m_file; }

signals:
    void finished(const clipvane::RecordingCheck& check);

private:
    void probe(const QString& file, const QString& entry, bool countPackets,
               void (RecordingChecker::*next)(const QuickToolRun&));
    void afterHeader(const QuickToolRun& run);
    void afterCount(const QuickToolRun& run);
    void afterRewrite(const QuickToolRun& run);
    void afterRewrittenHeader(const QuickToolRun& run);
    void fail(const QString& problem);
    void finish();

    QString m_file;
    RecordingCheck m_check;
    std::unique_ptr<QTemporaryFile> m_rewritten;
};

} // namespace clipvane

Q_DECLARE_METATYPE(clipvane::RecordingCheck)
