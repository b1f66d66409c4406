#pragma once

#include <QString>

namespace clipvane {

// FFmpeg's prober, which the program uses to read a file's length and to check what the
// encoder wrote: $CLIPVANE_FFPROBE when set, else "ffprobe" beside the encoder the launcher
// runs ($CLIPVANE_FFMPEG) when it is there, else "ffprobe" on the search path.
QString ffprobeProgram();

// Whether ffprobeProgram() names a program that can be run (found on the search path, or a
// file that may be executed).
bool proberAvailable();

// FFmpeg itself, for the tools that run it directly (the recorder): $CLIPVANE_FFMPEG when set,
// else "ffmpeg" on the search path, as the encoder's launcher finds it.
QString ffmpegProgram();

} // namespace clipvane
