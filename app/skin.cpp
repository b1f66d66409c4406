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

qint64 makeVideoSurface(QWidget* surface) {
    surface->setAttribute(Qt::WA_DontCreateNativeAncestors);
    surface->setAttribute(Qt::WA_NativeWindow);
    surface->setAutoFillBackground(true);
    QPalette black = surface->palette();
    black.setColor(QPalette::Window, Qt::black);
    surface->setPalette(black);
    return static_cast<qint64>(surface->winId());
}

} // namespace clipvane
