#include "app/programicon.h"

#include <QApplication>

// The resources live in a static library: the linker keeps them only when asked for.
static void initClipvaneResources() {
    static const bool once = [] {
        Q_INIT_RESOURCE(clipvane);
        return true;
    }();
    (void)once;
}

namespace clipvane {

QIcon programIcon() {
    initClipvaneResources();
    return QIcon(QStringLiteral(":/clipvane/clipvane.png"));
}

void installProgramIcon() {
    QApplication::setWindowIcon(programIcon());
}

} // namespace clipvane
