#include "capture/firewiredevices.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <algorithm>

namespace clipvane {
namespace {

// The unit directory of an AV/C device: specifier id 0x00a02d, version 0x010001.
constexpr char kAvcUnit[] = "0x00a02d:0x010001";

QString attribute(const QDir& device, const char* name) {
    QFile file(device.filePath(QString::fromLatin1(name)));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.read(4096)).trimmed();
}

} // namespace

QList<DvCamcorder> dvCamcorders(const QString& sysFolder, const QString& devFolder) {
    static const QRegularExpression deviceName(QStringLiteral("^fw(\\d{1,6})$"));
    static const QRegularExpression guidText(QStringLiteral("^0x[0-9a-fA-F]{1,16}$"));
    const QDir devices(sysFolder + QStringLiteral("/bus/firewire/devices"));
    QList<std::pair<int, QString>> numbered;
    for (const QString& entry : devices.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        if (const auto m = deviceName.match(entry); m.hasMatch())
            numbered.append({m.captured(1).toInt(), entry});
    }
    std::sort(numbered.begin(), numbered.end());

    QList<DvCamcorder> found;
    for (const auto& [number, entry] : numbered) {
        const QDir device(devices.filePath(entry));
        if (attribute(device, "is_local") == QLatin1String("1"))
            continue; // our own controller
        if (!attribute(device, "units").split(u' ').contains(QLatin1String(kAvcUnit)))
            continue;
        const QString guid = attribute(device, "guid");
        const QString node = QDir(devFolder).filePath(entry);
        if (!guidText.match(guid).hasMatch() || !QFileInfo::exists(node))
            continue;
        DvCamcorder camcorder{guid, node,
                              QCoreApplication::translate("FireWire", "DV camcorder (FireWire)")};
        const QString model =
            QStringList{attribute(device, "vendor_name"), attribute(device, "model_name")}
                .join(u' ')
                .simplified();
        if (!model.isEmpty())
            camcorder.name += QStringLiteral(" - ") + model;
        found.append(camcorder);
    }
    return found;
}

bool listsIec61883Input(const QByteArray& devicesListing) {
    // " D  iec61883        libiec61883 (new DV1394) A/V input device"
    static const QRegularExpression input(QStringLiteral("^\\s*D\\S*\\s+iec61883\\s"),
                                          QRegularExpression::MultilineOption);
    return input.match(QString::fromUtf8(devicesListing)).hasMatch();
}

} // namespace clipvane
