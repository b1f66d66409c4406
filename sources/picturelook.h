#pragma once

#include "sources/picturefacts.h"

#include <QString>
#include <QStringList>

namespace clipvane {

// The probe's look at a file's picture: FFmpeg decodes a second at each of several points of
// the clip (the start, the middle, near the end; the whole file when it is short) through
// idet (interlacing) and cropdetect (black bars, the extents over all the pictures seen).

// The points looked at, in seconds, for a file of that length.
QList<double> pictureLookPoints(double seconds);

// The encoder tool's command for the look (its findings on standard error).
QString pictureLookCommandLine(const QString& ffmpeg, const QString& filePath, double seconds);

// What the look's messages say: the bars (set only when they leave a smaller picture) and
// whether the picture is interlaced (nothing when idet said nothing). Reads lines of the
// form "... crop=1920:800:0:140", "Multi frame detection: TFF: 30 BFF: 0 Progressive: 2
// Undetermined: 1" and the output stream's "Video: wrapped_avframe, yuv420p, 1920x1080".
struct PictureLook {
    std::optional<CropWindow> crop;
    std::optional<bool> interlaced;
};
PictureLook parsePictureLook(const QString& messages);

// The item page's line for a picture's findings: "1920x1080 · black bars: 1920:800:0:140 ·
// interlaced"; empty when nothing is known.
QString pictureFactsText(const PictureFacts& facts);

} // namespace clipvane
