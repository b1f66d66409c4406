#pragma once

#include <QString>

namespace clipvane {

// The preview players' shared state. playerProcessId is 0 until the first player starts and
// is never set back, so non-zero means a player has been started since the program began.
struct PlayerState {
    qint64 playerProcessId = 0;
    qint64 position = 0; // seconds, advanced by the preview clock
    qint64 length = 0;   // seconds
    QString selectedSourcePath;
};

} // namespace clipvane
