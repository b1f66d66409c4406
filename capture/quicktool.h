#pragma once

#include "process/toolprocess.h"

#include <QByteArray>
#include <QStringList>

namespace clipvane {

// What a short tool run printed and how it ended.
struct QuickToolRun {
    ToolExit exit;
    QByteArray output;
    QByteArray errors;
};

// Runs a short tool (a listing, a check) to its end and returns what it printed. The wait
// is a nested event loop that takes no clicks; a tool still running after timeoutMs is
// killed, and one that cannot be started ends with exit.started false.
QuickToolRun runQuickTool(const QStringList& arguments, int timeoutMs);

} // namespace clipvane
