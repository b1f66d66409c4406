#pragma once

#include <QByteArray>
#include <QList>
#include <QRect>
#include <QString>

namespace clipvane {

// How the main window was left: its place and size, the dividers of its panes and the widths of
// the video list's columns, kept in the section "window" of settings.dat. The blobs are what
// Qt saves for a window and a splitter, stored as base64 text.
struct WindowState {
    QByteArray geometry;
    QByteArray mainSplitter;
    QByteArray rightSplitter;
    QList<int> columnWidths; // the video list's columns, left to right

    static constexpr const char* kSection = "window";

    // The state kept in the file; empty parts where a key is missing or spoilt.
    static WindowState read(const QString& filePath);
    bool write(const QString& filePath) const;
};

// A window's frame moved and, if need be, shrunk to lie within the screen's free area (a
// screen that got smaller since the window was left, or one that is gone).
QRect fitOnScreen(const QRect& frame, const QRect& available);

} // namespace clipvane
