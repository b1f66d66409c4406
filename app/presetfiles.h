#pragma once

#include "options/presets.h"

#include <QString>
#include <functional>

class QWidget;

namespace clipvane {

class MessageBoxes;

// What exporting and importing presets asks of the user: the file to write or read (empty when
// cancelled) and what to do with an imported preset whose name is taken. Tests answer them.
struct PresetFileDialogs {
    std::function<QString(QWidget* parent)> exportFile;
    std::function<QString(QWidget* parent)> importFile;
    std::function<PresetNameClash(QWidget* parent, const QString& name)> nameClash;

    // Qt's file dialogs, and a question with Replace, Keep Both and Skip; empty members of
    // dialogs are filled with these.
    static PresetFileDialogs standard();
    PresetFileDialogs orStandard() const;
};

// The ending preset files are offered with.
inline constexpr const char* kPresetFileEnding = ".cvpresets";

// "Export Presets...": asks for a file and writes the presets of settings.dat to it; a failure
// is said. Returns whether a file was written.
bool exportPresetFile(QWidget* parent, const PresetFileDialogs& dialogs, MessageBoxes* messages);

// "Import Presets...": asks for a file and adds its presets to settings.dat, then says what was
// imported and what was skipped (the warning icon when anything was). Returns whether any
// preset was written.
bool importPresetFile(QWidget* parent, const PresetFileDialogs& dialogs, MessageBoxes* messages);

} // namespace clipvane
