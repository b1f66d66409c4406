#include "process/toolpaths.h"

#include <QFileInfo>
#include <QStandardPaths>

namespace clipvane {

QString ffprobeProgram() {
    const QString configured = qEnvironmentVariable("CLIPVANE_FFPROBE");
    if (!configured.isEmpty())
        return configured;
    const QString encoder = qEnvironmentVariable("CLIPVANE_FFMPEG");
    if (!encoder.isEmpty()) {
        // A bare name is looked up on the search path, as the launcher does.
        const QString found =
            encoder.contains(QLatin1Char('/')) ? encoder : QStandardPaths::findExecutable(encoder);
        if (!found.isEmpty()) {
            const QFileInfo beside(QFileInfo(found).absolutePath() + QStringLiteral("/ffprobe"));
            if (beside.isFile() && beside.isExecutable())
                return beside.absoluteFilePath();
        }
    }
    return QStringLiteral("ffprobe");
}

bool proberAvailable() {
    const QString prober = ffprobeProgram();
    if (!prober.contains(QLatin1Char('/')))
        return !QStandardPaths::findExecutable(prober).isEmpty();
    const QFileInfo info(prober);
    return info.isFile() && info.isExecutable();
}

QString ffmpegProgram() {
    const QString configured = qEnvironmentVariable("CLIPVANE_FFMPEG");
    return configured.isEmpty() ? QStringLiteral("ffmpeg") : configured;
}

} // namespace clipvane
