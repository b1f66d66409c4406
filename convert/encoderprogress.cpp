#include "convert/encoderprogress.h"

#include <algorithm>
#include <cmath>

namespace clipvane {

int itemProgressFor(double reportedSeconds, qint64 clipSeconds) {
    if (clipSeconds <= 0)
        return 10;
    const double percent = reportedSeconds / static_cast<double>(clipSeconds) * 100.0;
    return static_cast<int>(std::clamp(std::floor(percent), 10.0, 99.0));
}

} // namespace clipvane
