#include "app/optionsheetwidget.h"

#include "options/optionsheet.h"

#include <QAction>
#include <QComboBox>
#include <QHeaderView>
#include <QSpinBox>
#include <QStyledItemDelegate>

namespace clipvane {
namespace {

constexpr int kCategoryRole = Qt::UserRole + 1;
constexpr int kCaptionRole = Qt::UserRole + 2;
// The row's value as the sheet holds it (column 1 shows it in the user's language).
constexpr int kValueRole = Qt::UserRole + 3;

class OptionValueDelegate : public QStyledItemDelegate {
public:
    OptionValueDelegate(OptionSheetWidget* grid) : QStyledItemDelegate(grid), m_grid(grid) {}

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override {
        const OptionSheet::Row* row = rowFor(index);
        if (!row || row->locked || index.column() != 1)
            return nullptr;
        if (row->kind == OptionSheet::Kind::List) {
            auto* combo = new QComboBox(parent);
            for (const QString& choice : row->choices)
                combo->addItem(shownOptionText(choice), choice);
            return combo;
        }
        // A number on a scale: the spin box takes nothing outside it.
        if (row->hasRange()) {
            auto* spin = new QSpinBox(parent);
            spin->setRange(row->minimum, row->maximum);
            spin->setToolTip(OptionSheetWidget::rangeText(*row));
            return spin;
        }
        // Suggestions, and whatever is typed.
        if (!row->choices.isEmpty()) {
            auto* combo = new QComboBox(parent);
            combo->setEditable(true);
            // What is typed stays as typed: "5" must not become the suggestion "50", nor Enter
            // make it a suggestion of its own.
            combo->setCompleter(nullptr);
            combo->setInsertPolicy(QComboBox::NoInsert);
            for (const QString& choice : row->choices)
                combo->addItem(shownOptionText(choice), choice);
            return combo;
        }
        return QStyledItemDelegate::createEditor(parent, option, index);
    }

    void setEditorData(QWidget* editor, const QModelIndex& index) const override {
        const QString value = index.data(kValueRole).toString();
        if (auto* combo = qobject_cast<QComboBox*>(editor)) {
            const int at = combo->findData(value);
            combo->setCurrentIndex(at);
            if (at < 0 && combo->isEditable())
                combo->setEditText(value);
            return;
        }
        if (auto* spin = qobject_cast<QSpinBox*>(editor)) {
            spin->setValue(value.toInt());
            return;
        }
        QStyledItemDelegate::setEditorData(editor, index);
    }

    void setModelData(QWidget* editor, QAbstractItemModel* model,
                      const QModelIndex& index) const override {
        if (auto* combo = qobject_cast<QComboBox*>(editor); combo && combo->isEditable()) {
            // A suggestion's own value, or the text as typed.
            const int at = combo->findText(combo->currentText());
            const QVariant own = at >= 0 ? combo->itemData(at) : QVariant();
            const QString value = own.isValid() ? own.toString() : combo->currentText().trimmed();
            model->setData(index, value, kValueRole);
            model->setData(index, shownOptionText(value));
            return;
        }
        if (auto* spin = qobject_cast<QSpinBox*>(editor)) {
            const QString value = QString::number(spin->value());
            model->setData(index, value, kValueRole);
            model->setData(index, value);
            return;
        }
        if (auto* combo = qobject_cast<QComboBox*>(editor)) {
            if (combo->currentIndex() >= 0) {
                model->setData(index, combo->currentData(), kValueRole);
                model->setData(index, combo->currentText());
            }
            return;
        }
        QStyledItemDelegate::setModelData(editor, model, index);
    }

private:
    const OptionSheet::Row* rowFor(const QModelIndex& index) const {
        if (!m_grid->sheet())
            return nullptr;
        const QModelIndex first = index.siblingAtColumn(0);
        return m_grid->sheet()->row(first.data(kCategoryRole).toString(),
                                    first.data(kCaptionRole).toString());
    }
    OptionSheetWidget* m_grid;
};

} // namespace

OptionSheetWidget::OptionSheetWidget(QWidget* parent) : QTreeWidget(parent) {
    setColumnCount(2);
    setHeaderLabels({tr("Property"), tr("Value")});
    setItemDelegate(new OptionValueDelegate(this));
    setEditTriggers(QAbstractItemView::AllEditTriggers);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    connect(this, &QTreeWidget::itemChanged, this, &OptionSheetWidget::onItemChanged);
}

void OptionSheetWidget::commitOpenEditor() {
    if (state() != QAbstractItemView::EditingState)
        return;
    QWidget* editor = indexWidget(currentIndex());
    if (!editor)
        return;
    commitData(editor);
    closeEditor(editor, QAbstractItemDelegate::NoHint);
}

void OptionSheetWidget::bind(OptionSheet* sheet) {
    if (m_sheet)
        m_sheet->disconnect(this);
    m_sheet = sheet;
    if (m_sheet) {
        connect(m_sheet, &OptionSheet::structureChanged, this, &OptionSheetWidget::rebuild);
        connect(m_sheet, &OptionSheet::valueChanged, this, &OptionSheetWidget::refreshRow);
        connect(m_sheet, &OptionSheet::choicesChanged, this, &OptionSheetWidget::refreshRow);
    }
    rebuild();
}

void OptionSheetWidget::applyPresentation() {
    expandAll();
    setAlternatingRowColors(true);
    header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    header()->setStretchLastSection(true);
}

void OptionSheetWidget::setContextActions(const QList<QAction*>& actions) {
    addActions(actions);
    setContextMenuPolicy(Qt::ActionsContextMenu);
}

QTreeWidgetItem* OptionSheetWidget::itemFor(const QString& category, const QString& caption) const {
    for (int i = 0; i < topLevelItemCount(); ++i) {
        QTreeWidgetItem* cat = topLevelItem(i);
        if (cat->data(0, kCategoryRole).toString() != category)
            continue;
        for (int j = 0; j < cat->childCount(); ++j) {
            if (cat->child(j)->data(0, kCaptionRole).toString() == caption)
                return cat->child(j);
        }
    }
    return nullptr;
}

void OptionSheetWidget::rebuild() {
    m_updating = true;
    const bool expanded = topLevelItemCount() == 0 || isExpanded(model()->index(0, 0));
    clear();
    if (m_sheet) {
        for (const OptionSheet::Category& c : m_sheet->categories()) {
            auto* cat = new QTreeWidgetItem(this, {shownOptionText(c.name)});
            cat->setData(0, kCategoryRole, c.name);
            cat->setFlags(Qt::ItemIsEnabled);
            QFont bold = cat->font(0);
            bold.setBold(true);
            cat->setFont(0, bold);
            cat->setFirstColumnSpanned(false);
            if (c.name == opt::OutputDuration)
                cat->setToolTip(0, tr("Clip times are set in the clip dialog: double-click a "
                                      "file in the Video List."));
            for (const OptionSheet::Row& r : c.rows) {
                auto* item = new QTreeWidgetItem(cat, {shownOptionText(r.caption), r.value});
                item->setData(0, kCategoryRole, c.name);
                item->setData(0, kCaptionRole, r.caption);
            }
            cat->setExpanded(expanded);
        }
    }
    m_updating = false;
    for (const OptionSheet::Category& c :
         m_sheet ? m_sheet->categories() : std::vector<OptionSheet::Category>{}) {
        for (const OptionSheet::Row& r : c.rows)
            refreshRow(c.name, r.caption);
    }
}

void OptionSheetWidget::refreshRow(const QString& category, const QString& caption) {
    QTreeWidgetItem* item = itemFor(category, caption);
    const OptionSheet::Row* row = m_sheet ? m_sheet->row(category, caption) : nullptr;
    if (!item || !row)
        return;
    m_updating = true;
    item->setData(1, kValueRole, row->value);
    item->setText(1, row->kind == OptionSheet::Kind::List || !row->choices.isEmpty()
                         ? shownOptionText(row->value)
                         : row->value);
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (!row->locked)
        flags |= Qt::ItemIsEditable;
    item->setFlags(flags);
    // A locked row reads as what it is: a grey, slanted value that no click edits. (A fixed
    // colour: a skin's text colour would otherwise hide the disabled look.)
    if (row->locked)
        item->setForeground(1, QColor(0x8a, 0x93, 0xa0));
    else
        item->setData(1, Qt::ForegroundRole, QVariant());
    QFont font = item->font(1);
    font.setItalic(row->locked);
    item->setFont(1, font);
    QStringList shownChoices;
    for (const QString& choice : row->choices)
        shownChoices << shownOptionText(choice);
    if (row->hasRange())
        shownChoices << rangeText(*row);
    item->setToolTip(1, shownChoices.join(QStringLiteral(", ")));
    m_updating = false;
}

QString OptionSheetWidget::rangeText(const OptionSheet::Row& row) {
    return tr("%1 (best, largest file) to %2 (smallest file)").arg(row.minimum).arg(row.maximum);
}

void OptionSheetWidget::onItemChanged(QTreeWidgetItem* item, int column) {
    if (m_updating || !m_sheet || column != 1)
        return;
    const QString category = item->data(0, kCategoryRole).toString();
    const QString caption = item->data(0, kCaptionRole).toString();
    const OptionSheet::Row* row = m_sheet->row(category, caption);
    if (!row || row->locked)
        return;
    // A list row (and a text row's suggestion) takes the choice's own value; a text row what
    // was typed. A value the row refuses leaves the row showing what it holds.
    const bool own =
        row->kind == OptionSheet::Kind::List || !row->choices.isEmpty() || row->hasRange();
    if (!m_sheet->setValue(category, caption,
                           own ? item->data(1, kValueRole).toString() : item->text(1)))
        refreshRow(category, caption);
}

} // namespace clipvane
