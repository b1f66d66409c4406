#include "app/aboutdialog.h"

#include "app/skin.h"
#include "ui_aboutdialog.h"

#include "app/programicon.h"

namespace clipvane {

AboutDialog::AboutDialog(QWidget* parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::AboutDialog>()) {
    m_ui->setupUi(this);
    setModal(true);
    applySkin(this);
    // The close box is the only way out.
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    m_ui->iconLabel->setPixmap(programIcon().pixmap(96, 96));
    QFont heading = m_ui->thanksLabel->font();
    heading.setBold(true);
    if (heading.pointSizeF() > 0)
        heading.setPointSizeF(heading.pointSizeF() * 1.3);
    m_ui->thanksLabel->setFont(heading);
}

AboutDialog::~AboutDialog() = default;

} // namespace clipvane
