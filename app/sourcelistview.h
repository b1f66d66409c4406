#pragma once

#include <QFontMetrics>
#include <QStringList>
#include <QTreeView>
#include <functional>

namespace clipvane {

// The source list's view: reports dropped files, rows dragged to another place and
// right-button presses (where the context menu opens) to its window.
class SourceListView : public QTreeView {
    Q_OBJECT
public:
    explicit SourceListView(QWidget* parent = nullptr);
    // Whether rows may be dragged to another place (not while a run goes).
    void setReorderAllowed(bool allowed);
    // What a dragged row carries: its row number.
    static constexpr const char* kRowMimeType = "application/x-clipvane-source-row";
    // Where a row's file would be written, for its tooltip.
    void setOutputLookup(std::function<QString(int row)> lookup) { m_outputOf = std::move(lookup); }
    // A path cut to fit the width: the folder loses its middle, the file's own name stays whole
    // for as long as it fits at all.
    static QString elidePath(const QString& path, const QFontMetrics& metrics, int width);

signals:
    void filesDropped(const QStringList& paths);
    void rightButtonPressed(const QPoint& globalPos);
    void rowMoveRequested(int from, int to);

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void startDrag(Qt::DropActions supportedActions) override;
    bool viewportEvent(QEvent* event) override;

private:
    bool acceptsDrag(const QMimeData* data) const;
    bool m_reorderAllowed = true;
    std::function<QString(int row)> m_outputOf;
};

} // namespace clipvane
using clipvane::SourceListView;
