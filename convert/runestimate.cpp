#include "convert/runestimate.h"

#include <algorithm>
#include <cmath>

namespace clipvane {

void RunEstimate::begin(qint64 totalClipSeconds) {
    m_total = std::max<qint64>(0, totalClipSeconds);
    m_converted = 0;
    m_elapsedMs = 0;
}

void RunEstimate::progress(double convertedSeconds, qint64 elapsedMs) {
    m_converted = std::clamp(convertedSeconds, 0.0, static_cast<double>(m_total));
    m_elapsedMs = elapsedMs;
}

std::optional<qint64> RunEstimate::secondsLeft() const {
    if (m_total > 0 && m_converted >= static_cast<double>(m_total))
        return 0; // all done, however quickly
    if (m_elapsedMs < kSettleMs || m_converted <= 0)
        return std::nullopt;
    const double speed = m_converted / (static_cast<double>(m_elapsedMs) / 1000.0);
    return static_cast<qint64>(std::ceil((static_cast<double>(m_total) - m_converted) / speed));
}

} // namespace clipvane
