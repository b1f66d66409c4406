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
         QStringLiteral("*.avi;*.wmv;*.wma;*.asf;*.mov;*.mp4;*.3gp;*.3g2;*.rm;*.rmvb;*.flv;*.mkv;"
                        "*.m2ts;*.m1v;*.mpe;*.mpg;*.mpeg;*.m2v;*.divx;*.ogm;*.vro;*.dr;*.amv")},
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
    static const char* endings[] = {"AVI", "MPG",  "WMV", "FLV", "ASF", "MOV", "QT",  "MPEG",
                                    "RM",  "RMVB", "MP4", "3GP", "3G2", "SWF", "MKV", "DIVX"};
    const QString upper = path.toUpper();
    for (const char* ending : endings) {
        if (upper.endsWith(QLatin1String(ending)))
            return true;
    }
    return false;
}

} // namespace clipvane
