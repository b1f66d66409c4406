#pragma once

#include <optional>

namespace clipvane {

// The program without its window: --convert, --watch, --list-profiles, --list-presets, --help,
// --version (see cliHelpText). Returns the exit status, or nothing when the arguments ask for
// the window. Needs no display: it runs on a QCoreApplication of its own.
std::optional<int> runCommandLine(int argc, char** argv);

} // namespace clipvane
