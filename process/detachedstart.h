#pragma once

#include <QMap>
#include <QString>
#include <QStringList>

namespace clipvane {

// Starts this program again, detached: it outlives this process and nobody waits for it.
// It gets this process's environment plus the variables given, its standard input from
// /dev/null and the arguments after the program's name. Returns whether it started, and in
// *processId (when given) its process id.
bool startThisProgramDetached(const QStringList& arguments,
                              const QMap<QString, QString>& environment,
                              qint64* processId = nullptr);

} // namespace clipvane
