#pragma once

#include <QDialog>
#include <QIcon>
#include <memory>

namespace Ui {
class Form6;
}

namespace clipvane {

// The program's picture.
QIcon programIcon();
// Makes the program's picture the icon of every window; call once the application exists.
void installProgramIcon();

// The about box: the program's picture, thanks, notices and the credits of the two tools.
// It has no buttons and closes with its close box.
class Form6 : public QDialog {
    Q_OBJECT
public:
    explicit Form6(QWidget* parent = nullptr);
    ~Form6() override;

    void Form_Load();

    Ui::Form6* form() const { return ui.get(); }

private:
    std::unique_ptr<Ui::Form6> ui;
};

} // namespace clipvane
