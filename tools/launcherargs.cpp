#include "tools/launcherargs.h"

namespace clipvane::launcher {

Tool toolForProgramName(const std::string& argv0) {
    const size_t slash = argv0.find_last_of('/');
    const std::string name = slash == std::string::npos ? argv0 : argv0.substr(slash + 1);
    if (name == "mp.dll")
        return Tool::Player;
    if (name == "fp.dll")
        return Tool::Encoder;
    return Tool::None;
}

std::string realToolFor(Tool tool, const char* overrideValue) {
    if (overrideValue && *overrideValue)
        return overrideValue;
    return tool == Tool::Player ? "mplayer" : "ffmpeg";
}

std::vector<std::string> mapArguments(Tool tool, const std::vector<std::string>& args) {
    if (tool != Tool::Player)
        return args;
    std::vector<std::string> out;
    out.reserve(args.size());
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "-priority") {
            ++i; // and its level
            continue;
        }
        if (args[i] == "-vo" && i + 1 < args.size() && args[i + 1] == "gl2") {
            out.push_back("-vo");
            out.push_back("gl_tiled,gl,xv,x11,");
            ++i;
            continue;
        }
        out.push_back(args[i]);
    }
    return out;
}

} // namespace clipvane::launcher
