#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

namespace clipvane {

// A FireWire device that speaks AV/C, as a DV camcorder does: its GUID (for FFmpeg's
// -dvguid), its node in /dev and what its configuration ROM calls it.
struct DvCamcorder {
    QString guid; // "0x0800460104a1b2c3"
    QString node; // "/dev/fw1"
    QString name; // "DV camcorder (FireWire)", with the maker and model when the ROM names them
};

// The AV/C devices under sysFolder/bus/firewire/devices (not our own controller) whose node
// exists in devFolder. A FireWire sound interface speaks AV/C too; FFmpeg finds out on opening.
QList<DvCamcorder> dvCamcorders(const QString& sysFolder, const QString& devFolder);

// Whether FFmpeg's "-devices" listing has the iec61883 input (DV over FireWire).
bool listsIec61883Input(const QByteArray& devicesListing);

} // namespace clipvane
