#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

namespace clipvane {

// What the player says on its standard output while it plays: a status record for each frame
// it shows ("A:   3.6 V:   3.6 A-V: ..." with sound, "V:   3.6 ..." without), each ended by a
// carriage return; the banner when it pauses; and its farewell when it ends.
struct PlayerReport {
    enum Kind { Position, Paused, Ended };
    Kind kind = Position;
    double seconds = 0; // the picture's position, for Position
};

// Reads the player's output piece by piece, as it arrives.
class PlayerStatusReader {
public:
    // The reports of the records this piece completes, in order.
    QList<PlayerReport> read(QByteArrayView piece);

private:
    QByteArray m_record; // the record being read, at most kMaxRecord bytes
    static constexpr qsizetype kMaxRecord = 4096;
};

} // namespace clipvane
