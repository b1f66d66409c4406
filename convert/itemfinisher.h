#pragma once

#include "convert/outputfiles.h"

#include <QList>
#include <QString>
#include <optional>

namespace clipvane {

// An item still under way when the program quits. Its encoder goes on to the end of its file,
// and a finisher (the program started again, without a window) sees the item through as the
// batch would have: it ends the encoder should it stop making progress, checks the output
// and gives it its name, or removes the hidden file the item wrote.
struct HandedOverItem {
    qint64 encoderId = 0;     // 0: the encoder had already ended well
    qint64 encoderStart = -1; // when it started (processStartTime), so a reused id is not it
    QString logFile;
    QString partial; // the hidden file it writes, and what the item created there
    FileIdentity partialFile;
    QString output;
    bool overwrite = false;
    std::optional<FileIdentity> oldOutput;
    QString input;
    qint64 clipSeconds = 0;
    bool expectVideo = true;
    int stallMs = 60000;
    int checkMs = 60000;
};

// Starts a finisher for the items, detached, and returns whether it started.
bool startFinisher(const QList<HandedOverItem>& items);

// When this process was started as a finisher: does its work and returns the exit code.
// Nothing otherwise. For the start of main(), before anything else.
std::optional<int> runAsFinisher(int argc, char** argv);

} // namespace clipvane
