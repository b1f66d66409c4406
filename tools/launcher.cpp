// mp.dll and fp.dll: run the system's MPlayer or FFmpeg in place of this process, keeping
// argv[0] so the running tool still carries the launcher's name.
#include "tools/launcherargs.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

int main(int argc, char** argv) {
    using namespace clipvane::launcher;
    const std::string self = argc > 0 ? argv[0] : "";
    const Tool tool = toolForProgramName(self);
    if (tool == Tool::None) {
        std::fprintf(stderr, "launcher: run me as mp.dll or fp.dll, not as '%s'\n", self.c_str());
        return 127;
    }
    const char* variable = tool == Tool::Player ? "CLIPVANE_MPLAYER" : "CLIPVANE_FFMPEG";
    const std::string real = realToolFor(tool, std::getenv(variable));

    std::vector<std::string> args(argv + 1, argv + argc);
    const std::vector<std::string> mapped = mapArguments(tool, args);
    std::vector<char*> execArgs;
    execArgs.push_back(argv[0]);
    for (const std::string& a : mapped)
        execArgs.push_back(const_cast<char*>(a.c_str()));
    execArgs.push_back(nullptr);

    // execvp searches PATH for a bare name and runs a path directly; argv[0] stays ours.
    execvp(real.c_str(), execArgs.data());
    std::fprintf(stderr, "%s: cannot run '%s' (%s); install it or set %s\n",
                 tool == Tool::Player ? "mp.dll" : "fp.dll", real.c_str(), std::strerror(errno),
                 variable);
    return 127;
}
