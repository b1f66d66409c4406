#include "app/form6.h"

#include "app/skin.h"
#include "ui_form6.h"

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

Form6::Form6(QWidget* parent) : QDialog(parent), ui(std::make_unique<Ui::Form6>()) {
    ui->setupUi(this);
    setModal(true);
    // The close box is the only way out.
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    ui->Image1->setPixmap(programIcon().pixmap(96, 96));
    QFont heading = ui->SkinLabel1->font();
    heading.setBold(true);
    if (heading.pointSizeF() > 0)
        heading.setPointSizeF(heading.pointSizeF() * 1.3);
    ui->SkinLabel1->setFont(heading);
}

Form6::~Form6() = default;

void Form6::Form_Load() {
    applySkin(this);
}

} // namespace clipvane
