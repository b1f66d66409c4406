#pragma once

#include <QDialog>
#include <QIcon>
#include <memory>

namespace Ui {
class AboutDialog;
}

namespace clipvane {

// The about box: the program's picture, thanks, notices and the credits of the two tools.
// It has no buttons and closes with its close box.
class AboutDialog : public QDialog {
    Q_OBJECT
public:
    explicit AboutDialog(QWidget* parent = nullptr);
    ~AboutDialog() override;

    Ui::AboutDialog* ui() const { return m_ui.get(); }

private:
    std::unique_ptr<Ui::AboutDialog> m_ui;
};

} // namespace clipvane
