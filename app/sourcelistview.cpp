#include "app/sourcelistview.h"

#include <QDrag>
#include <QDragEnterEvent>
#include <QHelpEvent>
#include <QMimeData>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QToolTip>
#include <QUrl>

namespace clipvane {
namespace {
// Draws a path column with the folder cut short before the file's own name.
class PathDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyleOptionViewItem item = option;
        initStyleOption(&item, index);
        const QStyle* style = item.widget ? item.widget->style() : nullptr;
        const int margin =
            style ? 2 * (style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, item.widget) + 1)
                  : 6;
        item.text =
            SourceListView::elidePath(item.text, item.fontMetrics, item.rect.width() - margin);
        if (style)
            style->drawControl(QStyle::CE_ItemViewItem, &item, painter, item.widget);
    }
};
} // namespace

QString SourceListView::elidePath(const QString& path, const QFontMetrics& metrics, int width) {
    if (metrics.horizontalAdvance(path) <= width)
        return path;
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    const QString name = path.mid(slash + 1);
    const QString folder = path.left(slash + 1);
    const int nameWidth = metrics.horizontalAdvance(name);
    if (slash < 0 || nameWidth >= width)
        return metrics.elidedText(path, Qt::ElideMiddle, width);
    return metrics.elidedText(folder, Qt::ElideMiddle, width - nameWidth) + name;
}

bool SourceListView::viewportEvent(QEvent* event) {
    if (event->type() != QEvent::ToolTip || !model())
        return QTreeView::viewportEvent(event);
    auto* help = static_cast<QHelpEvent*>(event);
    const QModelIndex index = indexAt(help->pos());
    if (!index.isValid()) {
        QToolTip::hideText();
        return true;
    }
    QString tip = model()->data(index, Qt::ToolTipRole).toString();
    const QString output = m_outputOf ? m_outputOf(index.row()) : QString();
    if (!output.isEmpty()) {
        if (tip.isEmpty())
            tip = model()->index(index.row(), 0).data().toString();
        tip += QLatin1Char('\n') + tr("Output: %1").arg(output);
    }
    if (tip.isEmpty())
        QToolTip::hideText();
    else
        QToolTip::showText(help->globalPos(), tip, viewport(), visualRect(index));
    return true;
}

SourceListView::SourceListView(QWidget* parent) : QTreeView(parent) {
    setAcceptDrops(true);
    setDragEnabled(true);
    setDragDropMode(QAbstractItemView::DragDrop);
    setRootIsDecorated(false);
    setUniformRowHeights(true);
    setAlternatingRowColors(true);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setTextElideMode(Qt::ElideMiddle); // keep both the folder's start and the file name
    setItemDelegateForColumn(0, new PathDelegate(this));
}

void SourceListView::setReorderAllowed(bool allowed) {
    m_reorderAllowed = allowed;
    setDragEnabled(allowed);
}

bool SourceListView::acceptsDrag(const QMimeData* data) const {
    return data->hasUrls() || (m_reorderAllowed && data->hasFormat(QLatin1String(kRowMimeType)));
}

void SourceListView::dragEnterEvent(QDragEnterEvent* event) {
    if (acceptsDrag(event->mimeData()))
        event->acceptProposedAction();
}

void SourceListView::dragMoveEvent(QDragMoveEvent* event) {
    if (acceptsDrag(event->mimeData()))
        event->acceptProposedAction();
}

void SourceListView::startDrag(Qt::DropActions) {
    const QModelIndex current = currentIndex();
    if (!m_reorderAllowed || !current.isValid())
        return;
    auto* data = new QMimeData;
    data->setData(QLatin1String(kRowMimeType), QByteArray::number(current.row()));
    auto* drag = new QDrag(this);
    drag->setMimeData(data);
    drag->exec(Qt::MoveAction);
}

void SourceListView::dropEvent(QDropEvent* event) {
    if (event->mimeData()->hasFormat(QLatin1String(kRowMimeType))) {
        if (!m_reorderAllowed || !model())
            return;
        bool ok = false;
        const int from = event->mimeData()->data(QLatin1String(kRowMimeType)).toInt(&ok);
        // Dropped on a row: it takes that row's place; below the last: it goes last.
        const QModelIndex on = indexAt(event->position().toPoint());
        const int to = on.isValid() ? on.row() : model()->rowCount() - 1;
        event->setDropAction(Qt::MoveAction);
        event->accept();
        if (ok && from != to)
            emit rowMoveRequested(from, to);
        return;
    }
    QStringList paths;
    for (const QUrl& url : event->mimeData()->urls())
        paths.append(url.isLocalFile() ? url.toLocalFile() : url.toString());
    event->acceptProposedAction();
    // Probing waits for a tool; do it after the drag-and-drop exchange has finished.
    QTimer::singleShot(0, this, [this, paths] { emit filesDropped(paths); });
}

void SourceListView::mousePressEvent(QMouseEvent* event) {
    QTreeView::mousePressEvent(event);
    if (event->button() == Qt::RightButton)
        emit rightButtonPressed(event->globalPosition().toPoint());
}

} // namespace clipvane
