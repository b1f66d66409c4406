#include "app/skin.h"

#include "base/apppaths.h"

#include <QFile>
#include <QWidget>

namespace clipvane {

void applySkin(QWidget* window) {
    QFile skin(programFolder() + QStringLiteral("/skins/frmmain.skn"));
    if (!skin.open(QIODevice::ReadOnly))
        return;
    window->setStyleSheet(QString::fromUtf8(skin.read(4 * 1024 * 1024)));
}

} // namespace clipvane
