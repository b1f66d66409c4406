#pragma once

#include <QtGlobal>

namespace clipvane {

// The current-item bar while the encoder runs: at least 10, the reported time against the
// clip's length, held below 100 until the encoder ends.
int itemProgressFor(double reportedSeconds, qint64 clipSeconds);

} // namespace clipvane
