#pragma once

#include <string>
#include <vector>

namespace clipvane::launcher {

enum class Tool { None, Player, Encoder };

// The tool a launcher stands for, from its own file name (mp.dll or fp.dll).
Tool toolForProgramName(const std::string& argv0);

// The real tool to run: $CLIPVANE_MPLAYER / $CLIPVANE_FFMPEG when set, else mplayer / ffmpeg.
std::string realToolFor(Tool tool, const char* overrideValue);

// The arguments for the real tool (without argv[0]). The player drops "-priority <level>",
// which only the Windows build knows, and maps "-vo gl2" to the current OpenGL output with
// fallbacks; the encoder's arguments pass unchanged.
std::vector<std::string> mapArguments(Tool tool, const std::vector<std::string>& args);

} // namespace clipvane::launcher
