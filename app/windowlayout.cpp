#include "app/windowlayout.h"

#include <QGuiApplication>
#include <QHeaderView>
#include <QScreen>
#include <QSplitter>
#include <QStringList>
#include <QStyle>
#include <QTreeView>
#include <QWidget>
#include <algorithm>

namespace clipvane {

WindowState captureWindowState(const WindowParts& parts) {
    WindowState s;
    s.geometry = parts.window->saveGeometry();
    s.mainSplitter = parts.mainSplitter->saveState();
    s.rightSplitter = parts.rightSplitter->saveState();
    // A hidden column measures 0: it keeps the width it will show with.
    for (int c = 0; c < parts.columns->count(); ++c)
        s.columnWidths.append(parts.columns->isSectionHidden(c)
                                  ? parts.columns->defaultSectionSize()
                                  : parts.columns->sectionSize(c));
    return s;
}

bool restoreWindowGeometry(const WindowParts& parts, const WindowState& state) {
    QWidget* window = parts.window;
    if (state.geometry.isEmpty() || !window->restoreGeometry(state.geometry))
        return false;
    if (window->isMaximized() || window->isFullScreen())
        return true;
    // The screen it was on, or the main one when that has gone.
    QScreen* screen = QGuiApplication::screenAt(window->geometry().center());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen)
        return true;
    const QRect fitted = fitOnScreen(window->geometry(), screen->availableGeometry());
    if (fitted != window->geometry())
        window->setGeometry(fitted);
    return true;
}

bool restoreSplitters(const WindowParts& parts, const WindowState& state) {
    bool restored =
        !state.mainSplitter.isEmpty() && parts.mainSplitter->restoreState(state.mainSplitter);
    restored = !state.rightSplitter.isEmpty() &&
               parts.rightSplitter->restoreState(state.rightSplitter) && restored;
    return restored;
}

bool restoreColumns(const WindowParts& parts, const WindowState& state) {
    // Only widths kept for this many columns: another list's mean nothing here.
    if (state.columnWidths.size() != parts.columns->count())
        return false;
    for (int c = 0; c < parts.columns->count(); ++c) {
        if (parts.columns->sectionResizeMode(c) == QHeaderView::Interactive)
            parts.columns->resizeSection(c, state.columnWidths.at(c));
    }
    return true;
}

void fitColumns(QTreeView* view, const QStringList& usualTexts) {
    QHeaderView* header = view->header();
    const int padding =
        2 * view->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, view) + 10;
    for (int c = 0; c < header->count(); ++c) {
        if (header->sectionResizeMode(c) != QHeaderView::Interactive)
            continue;
        const int text = view->fontMetrics().horizontalAdvance(usualTexts.value(c)) + padding;
        header->resizeSection(c, std::max(header->sectionSizeHint(c), text));
    }
}

} // namespace clipvane
