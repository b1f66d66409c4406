#pragma once

#include <QtGlobal>
#include <optional>

namespace clipvane {

// The time a batch has left: the clip seconds still to convert at the speed the encoder has
// shown so far (clip seconds converted per second of wall time).
class RunEstimate {
public:
    // A run of this many clip seconds begins.
    void begin(qint64 totalClipSeconds);
    // So far: clip seconds converted (finished items and the reported part of running ones)
    // after elapsedMs of wall time.
    void progress(double convertedSeconds, qint64 elapsedMs);
    // Whole seconds left, or nothing while there is too little to go by.
    std::optional<qint64> secondsLeft() const;

    // How much wall time must pass before the first estimate.
    static constexpr qint64 kSettleMs = 3000;

private:
    qint64 m_total = 0;
    double m_converted = 0;
    qint64 m_elapsedMs = 0;
};

} // namespace clipvane
