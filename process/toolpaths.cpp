#include "process/toolpaths.h"

#include <QFileInfo>

namespace clipvane {

QString ffprobeProgram() {
    const QString configured = qEnvironmentVariable("CLIPVANE_FFPROBE");
    if (!configured.isEmpty())
        return configured;
    const QString ffmpeg = qEnvironmentVariable("CLIPVANE_FFMPEG");
    if (!ffmpeg.isEmpty()) {
        const QFileInfo beside(QFileInfo(ffmpeg).absolutePath() + QStringLiteral("/ffprobe"));
        if (beside.isFile() && beside.isExecutable())
            return beside.absoluteFilePath();
    }
    return QStringLiteral("ffprobe");
}

} // namespace clipvane
