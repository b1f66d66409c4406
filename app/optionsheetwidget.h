#pragma once

#include "options/optionsheet.h"

#include <QTreeWidget>

namespace clipvane {

// The option sheet on screen: a two-level property grid over an OptionSheet. Categories expand
// to show their rows; list rows are edited with a drop-down of their choices, text rows with a
// line edit, and locked rows not at all. Every edit goes straight into the sheet.
class OptionSheetWidget : public QTreeWidget {
    Q_OBJECT
public:
    explicit OptionSheetWidget(QWidget* parent = nullptr);

    void bind(OptionSheet* sheet);
    OptionSheet* sheet() const { return m_sheet; }
    QTreeWidgetItem* itemFor(const QString& category, const QString& caption) const;
    // Writes a value still being edited into the sheet and closes its editor.
    void commitOpenEditor();
    // Turns on the grid's presentation: expanded categories, shaded rows, a tidy header.
    void applyPresentation();
    // The grid's context menu: these commands (the window's own actions).
    void setContextActions(const QList<QAction*>& actions);
    // What a numbered row's editor takes, and which end is better ("0 (best, ...) to 51 ...").
    static QString rangeText(const OptionSheet::Row& row);

private:
    void rebuild();
    void refreshRow(const QString& category, const QString& caption);
    void onItemChanged(QTreeWidgetItem* item, int column);

    OptionSheet* m_sheet = nullptr;
    bool m_updating = false;
};

} // namespace clipvane
using clipvane::OptionSheetWidget;
