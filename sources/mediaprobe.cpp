#include "sources/mediaprobe.h"

#include "base/apppaths.h"
#include "base/textvalues.h"
#include "process/commandline.h"
#include "process/process.h"

#include <QCoreApplication>
#include <QRegularExpression>
#include <QTimer>
#include <cmath>

namespace clipvane {

QString identifyCommandLine(const QString& appPathSlash, const QString& filePath) {
    return quoteIfNeeded(appPathSlash + QStringLiteral("/mp.dll")) +
           QStringLiteral(" -identify -benchmark -nosound -vo null -vf cropdetect -endpos 1 ") +
           quoteArgument(filePath);
}

IdentifyResult parseIdentifyOutput(const QString& output) {
    IdentifyResult result;
    static const QRegularExpression lineEnd(QStringLiteral("\r\n|\n|\r"));
    const QStringList lines = output.split(lineEnd);
    for (const QString& line : lines) {
        const QStringList pieces = line.split(QLatin1Char('='));
        if (pieces.size() < 2)
            continue;
        const QString& key = pieces.at(0);
        const QString& value = pieces.at(1);
        if (key == QLatin1String("ID_VIDEO_WIDTH") || key == QLatin1String("ID_VIDEO_HEIGHT")) {
            const std::optional<double> n = strictNumber(value);
            if (!n || std::fabs(*n) > 1e12) {
                result.complete = false;
                return result;
            }
            (key == QLatin1String("ID_VIDEO_WIDTH") ? result.width : result.height) =
                roundHalfEven(*n);
        } else if (key == QLatin1String("ID_LENGTH")) {
            double seconds = leadingNumber(value);
            if (seconds > 1e12)
                seconds = 1e12;
            result.length = timeText(static_cast<qint64>(std::ceil(seconds)));
        } else if (key == QLatin1String("ID_VIDEO_FORMAT")) {
            result.format = value;
        }
    }
    return result;
}

void applyIdentifyResult(SourceList& list, SourceList::Id id, const IdentifyResult& result) {
    if (result.length) {
        list.setText(id, SourceList::End, *result.length);
        list.setText(id, SourceList::VideoTime, *result.length);
    }
    if (result.format)
        list.setText(id, SourceList::Format, *result.format);
    if (!result.complete)
        return;
    list.setText(id, SourceList::Start, QStringLiteral("0:00:00"));
    list.setText(id, SourceList::Size,
                 QStringLiteral("%1x%2").arg(result.width).arg(result.height));
}

SourceList::Id addvideofile(SourceList& list, const QString& path, int timeoutMs) {
    const QString commandLine = identifyCommandLine(AppPathSlash(), path);
    const SourceList::Id id = list.append(path);
    list.beginProbe();
    QString output;
    {
        std::unique_ptr<Process> runner = NewProcess(commandLine);
        Process* r = runner.get();
        QTimer::singleShot(timeoutMs, r, [r] {
            if (r->IsActive())
                r->Abort(0);
        });
        runner->Launch();
        output = runner->StdOut();
    }
    // The list may have changed during the wait; writes by id reach only our own row.
    applyIdentifyResult(list, id, parseIdentifyOutput(output));
    list.endProbe();
    QCoreApplication::processEvents();
    return id;
}

} // namespace clipvane
