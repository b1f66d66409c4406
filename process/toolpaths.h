#pragma once

#include <QString>

namespace clipvane {

// FFmpeg's prober, which the program uses to count the packets of a raw stream that records
// no length, and the capture window to check a recording: $CLIPVANE_FFPROBE when set, else
// "ffprobe" beside the encoder the launcher runs ($CLIPVANE_FFMPEG) when it is there, else
// "ffprobe" on the search path.
QString ffprobeProgram();

// Whether ffprobeProgram() names a program that can be run (found on the search path, or a
// file that may be executed).
bool proberAvailable();

// FFmpeg itself, for the tools that run it directly (the recorder): $CLIPVANE_FFMPEG when set,
// else "ffmpeg" on the search path, as the encoder's launcher finds it.
QString ffmpegProgram();

} // namespace clipvane
