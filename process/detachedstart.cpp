#include "process/detachedstart.h"

#include <QCoreApplication>
#include <QProcess>

namespace clipvane {

bool startThisProgramDetached(const QStringList& arguments,
                              const QMap<QString, QString>& environment, qint64* processId) {
    QProcess program;
    program.setProgram(QCoreApplication::applicationFilePath());
    program.setArguments(arguments);
    QProcessEnvironment inherited = QProcessEnvironment::systemEnvironment();
    for (auto it = environment.cbegin(); it != environment.cend(); ++it)
        inherited.insert(it.key(), it.value());
    program.setProcessEnvironment(inherited);
    program.setStandardInputFile(QProcess::nullDevice());
    return program.startDetached(processId);
}

} // namespace clipvane
