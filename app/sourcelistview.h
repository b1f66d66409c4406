#pragma once

#include <QStringList>
#include <QTreeView>

namespace clipvane {

// The source list's view: reports dropped files and right-button presses (where the context
// menu opens) to its window.
class SourceListView : public QTreeView {
    Q_OBJECT
public:
    explicit SourceListView(QWidget* parent = nullptr);

signals:
    void filesDropped(const QStringList& paths);
    void rightButtonPressed(const QPoint& globalPos);

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
};

} // namespace clipvane
using clipvane::SourceListView;
