#include "sources/fileselect.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <sys/stat.h>

namespace clipvane {

ChosenFiles splitChosenPaths(const QStringList& selectedPaths) {
    ChosenFiles info;
    if (selectedPaths.isEmpty())
        return info;
    info.folder = QFileInfo(selectedPaths.first()).absolutePath();
    if (!info.folder.endsWith(QLatin1Char('/')))
        info.folder += QLatin1Char('/');
    for (const QString& path : selectedPaths) {
        const QFileInfo fi(path);
        QString dir = fi.absolutePath();
        if (!dir.endsWith(QLatin1Char('/')))
            dir += QLatin1Char('/');
        // A name from another folder is kept relative, so folder + name is still its path.
        info.names.append(dir == info.folder
                              ? fi.fileName()
                              : QDir(info.folder).relativeFilePath(fi.absoluteFilePath()));
    }
    return info;
}

ProgramArguments splitProgramArguments(const QList<QByteArray>& arguments) {
    // Qt's options that take the next argument as their value.
    static const QList<QByteArray> valued = {"-platform",        "-platformpluginpath",
                                             "-platformtheme",   "-plugin",
                                             "-qwindowgeometry", "-geometry",
                                             "-qwindowtitle",    "-title",
                                             "-qwindowicon",     "-icon",
                                             "-display",         "-name",
                                             "-style",           "-stylesheet",
                                             "-session",         "-qmljsdebugger"};
    ProgramArguments out;
    const auto addFile = [&out](const QByteArray& raw) {
        const QString name = QFile::decodeName(raw);
        (QFile::encodeName(name) == raw ? out.files : out.badNames).append(name);
    };
    const auto exists = [](const QByteArray& raw) {
        struct stat st {};
        return ::lstat(raw.constData(), &st) == 0;
    };
    if (!arguments.isEmpty())
        out.forQt.append(arguments.first());
    bool onlyFiles = false;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QByteArray& arg = arguments.at(i);
        if (onlyFiles || exists(arg) || !arg.startsWith('-')) {
            addFile(arg);
        } else if (arg == "--") {
            onlyFiles = true;
        } else {
            out.forQt.append(arg);
            const QByteArray option = arg.startsWith("--") ? arg.mid(1) : arg;
            if (valued.contains(option) && i + 1 < arguments.size())
                out.forQt.append(arguments.at(++i));
        }
    }
    return out;
}

const QList<FilterEntry>& openDialogFilters() {
    static const QList<FilterEntry> filters = {
        {QT_TRANSLATE_NOOP("FileSelect", "All supported media files"),
         // The long-standing list, then the containers and sound files FFmpeg reads that
         // people have.
         QStringLiteral("*.avi;*.wmv;*.wma;*.asf;*.mov;*.mp4;*.3gp;*.3g2;*.rm;*.rmvb;*.flv;*.mkv;"
                        "*.m2ts;*.m1v;*.mpe;*.mpg;*.mpeg;*.m2v;*.divx;*.ogm;*.vro;*.dr;*.amv;"
                        "*.ts;*.mts;*.m4v;*.webm;*.ogv;*.vob;*.mxf;*.mp3;*.flac;*.wav;*.m4a;"
                        "*.aac;*.ogg;*.opus")},
        {QT_TRANSLATE_NOOP("FileSelect", "Windows Media files (*.avi;*.wmv;*.wma;*.asf)"),
         QStringLiteral("*.avi;*.wmv;*.wma;*.asf")},
        {QT_TRANSLATE_NOOP("FileSelect", "Mov/MP4 Files (*.mov;*.mp4;*.3gp;*.3g2)"),
         QStringLiteral("*.mov;*.mp4;*.3gp;*.3g2")},
        {QT_TRANSLATE_NOOP("FileSelect", "Real Media Files (*.rm;*.rmvb)"),
         QStringLiteral("*.rm;*.rmvb")},
        {QT_TRANSLATE_NOOP("FileSelect", "Flash Video files (*.flv)"), QStringLiteral("*.flv")},
        {QT_TRANSLATE_NOOP("FileSelect", "Matroska Video files (*.mkv)"), QStringLiteral("*.mkv")},
        {QT_TRANSLATE_NOOP("FileSelect", "Sony High Definition Video File (*.m2ts)"),
         QStringLiteral("*.m2ts")},
        {QT_TRANSLATE_NOOP("FileSelect", "MPEG-1 Video File (*.m1v;*.mpe;*.mpg;*.mpeg)"),
         QStringLiteral("*.m1v;*.mpe;*.mpg;*.mpeg")},
        {QT_TRANSLATE_NOOP("FileSelect", "MPEG-2 Video File (*.m2v;*.mpe;*.mpg;*.mpeg)"),
         QStringLiteral("*.m2v;*.mpe;*.mpg;*.mpeg")},
        {QT_TRANSLATE_NOOP("FileSelect", "Divx Video File (*.divx)"), QStringLiteral("*.divx")},
        {QT_TRANSLATE_NOOP("FileSelect", "Ogg Media File (*.ogm)"), QStringLiteral("*.ogm")},
        {QT_TRANSLATE_NOOP("FileSelect", "DVD-VR Video File(*.vro)"), QStringLiteral("*.vro")},
        {QT_TRANSLATE_NOOP("FileSelect", "Other Video File(*.dr;*.amv)"),
         QStringLiteral("*.dr;*.amv")},
        {QT_TRANSLATE_NOOP("FileSelect",
                           "Sound files (*.mp3;*.flac;*.wav;*.m4a;*.aac;*.ogg;*.opus;*.wma)"),
         QStringLiteral("*.mp3;*.flac;*.wav;*.m4a;*.aac;*.ogg;*.opus;*.wma")},
        {QT_TRANSLATE_NOOP("FileSelect", "All files (*.*)"), QStringLiteral("*.*")},
    };
    return filters;
}

QStringList openDialogNameFilters() {
    QStringList out;
    for (const FilterEntry& f : openDialogFilters()) {
        QString patterns = f.patterns;
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        if (patterns == QLatin1String("*.*"))
            patterns = QStringLiteral("*");
        out.append(QCoreApplication::translate("FileSelect", f.description.toUtf8().constData()) +
                   QStringLiteral(" (") + patterns + QLatin1Char(')'));
    }
    return out;
}

QString openDialogStartFolder(const QString& startFolder) {
    if (!startFolder.isEmpty() && QFileInfo(startFolder).isDir())
        return QFileInfo(startFolder).absoluteFilePath();
    return QDir::homePath();
}

bool matchesDropEnding(const QString& path) {
    // The long-standing endings, compared on the last characters alone.
    static const char* endings[] = {"AVI", "MPG",  "WMV", "FLV", "ASF", "MOV", "QT",  "MPEG",
                                    "RM",  "RMVB", "MP4", "3GP", "3G2", "SWF", "MKV", "DIVX"};
    // Those of the open dialog and the further containers and sound files, with their dot.
    static const char* dotted[] = {".WMA", ".M2TS", ".M1V", ".MPE", ".M2V",  ".OGM", ".VRO", ".DR",
                                   ".AMV", ".TS",   ".MTS", ".M4V", ".WEBM", ".OGV", ".VOB", ".MXF",
                                   ".MP3", ".FLAC", ".WAV", ".M4A", ".AAC",  ".OGG", ".OPUS"};
    const QString upper = path.toUpper();
    for (const char* ending : endings) {
        if (upper.endsWith(QLatin1String(ending)))
            return true;
    }
    for (const char* ending : dotted) {
        if (upper.endsWith(QLatin1String(ending)))
            return true;
    }
    return false;
}

QStringList refusedDrops(const QStringList& paths) {
    QStringList refused;
    for (const QString& path : paths) {
        // A folder or a web address is refused like any other name that is not a media file.
        if (QFileInfo(path).isDir() || path.contains(QLatin1String("://")) ||
            !matchesDropEnding(path))
            refused.append(path);
    }
    return refused;
}

QString refusedDropsMessage(const QStringList& refused) {
    constexpr int kNamed = 10;
    QStringList names;
    for (const QString& path : refused.mid(0, kNamed)) {
        const QString name = QFileInfo(path).fileName();
        names.append(name.isEmpty() ? path : name);
    }
    QString text = QCoreApplication::translate("FileSelect", "Only Video files are allowed!") +
                   QStringLiteral("\n\n") +
                   QCoreApplication::translate("FileSelect", "Not added:") + QLatin1Char('\n') +
                   names.join(QLatin1Char('\n'));
    if (refused.size() > kNamed)
        text +=
            QLatin1Char('\n') +
            QCoreApplication::translate("FileSelect", "and %1 more").arg(refused.size() - kNamed);
    return text;
}

} // namespace clipvane
