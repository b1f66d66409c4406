#include "app/sourcelistview.h"

#include <QDragEnterEvent>
#include <QMimeData>
#include <QTimer>
#include <QUrl>

namespace clipvane {

SourceListView::SourceListView(QWidget* parent) : QTreeView(parent) {
    setAcceptDrops(true);
    setDragDropMode(QAbstractItemView::DropOnly);
    setRootIsDecorated(false);
    setUniformRowHeights(true);
    setAlternatingRowColors(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setTextElideMode(Qt::ElideMiddle); // keep both the folder's start and the file name
}

void SourceListView::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void SourceListView::dragMoveEvent(QDragMoveEvent* event) {
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void SourceListView::dropEvent(QDropEvent* event) {
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
