#pragma once

#include <QString>

namespace clipvane {

// What a finished recording left on disk.
struct RecordingCheck {
    bool saved = false;    // the file is there and holds pictures (or cannot be looked into)
    bool repaired = false; // it had no index (FFmpeg was killed) and was rewritten with one
    qint64 frames = -1;    // the pictures in it; -1 when the prober could not say
    QString problem;       // why it is not saved
};

// Looks at a recorded AVI: that it exists, and, by FFmpeg's prober, that it holds pictures.
// A file whose writer was killed before its index (a device that hung) is rewritten with
// one when it holds pictures, so that it plays. Without a prober only the file is looked at.
RecordingCheck checkRecording(const QString& file);

} // namespace clipvane
