#include "app/aboutdialog.h"

#include "app/skin.h"
#include "ui_aboutdialog.h"

#include "app/programicon.h"

namespace clipvane {

AboutDialog::AboutDialog(QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::AboutDialog>()) {
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

AboutDialog::~AboutDialog() = default;

void AboutDialog::Form_Load() {
    applySkin(this);
}

} // namespace clipvane
