#include "cli/cliarguments.h"

#include "base/apppaths.h"
#include "base/textvalues.h"
#include "options/optionmemory.h"
#include "options/optionsheet.h"
#include "options/presets.h"
#include "options/profiles.h"

#include <QDir>
#include <QFileInfo>

namespace clipvane {
namespace {
const QStringList kCommandWords = {
    QStringLiteral("--convert"),      QStringLiteral("--watch"), QStringLiteral("--list-profiles"),
    QStringLiteral("--list-presets"), QStringLiteral("--help"),  QStringLiteral("--version")};
const QStringList kValued = {QStringLiteral("--profile"), QStringLiteral("--preset"),
                             QStringLiteral("--output"),  QStringLiteral("--parallel"),
                             QStringLiteral("--start"),   QStringLiteral("--end"),
                             QStringLiteral("--set"),     QStringLiteral("--settings"),
                             QStringLiteral("--record"),  QStringLiteral("--stable-seconds")};
const QStringList kFlags = {QStringLiteral("--next-to-source"), QStringLiteral("--keep"),
                            QStringLiteral("--overwrite"), QStringLiteral("--json"),
                            QStringLiteral("--score")};

// A time as seconds ("90", "1.5") or H:MM:SS[.cc], in hundredths.
std::optional<qint64> parseTimeOption(const QString& text) {
    if (const std::optional<double> seconds = strictNumber(text); seconds && *seconds >= 0)
        return roundHalfEven(*seconds * 100);
    return parseClipTime(text);
}

QString optionKeyList(const OptionSheet& sheet) {
    QStringList keys;
    for (const OptionSheet::Category& category : sheet.categories())
        for (const OptionSheet::Row& row : category.rows)
            if (!row.locked)
                keys << optionKey(category.name, row.caption);
    return keys.join(QStringLiteral(", "));
}

// Applies one --set; why not, or nothing.
std::optional<QString> applySet(OptionSheet& sheet, const QString& set) {
    const qsizetype eq = set.indexOf(QLatin1Char('='));
    const QString key = set.left(eq).trimmed();
    const qsizetype slash = key.lastIndexOf(QLatin1Char('/'));
    if (eq < 0 || slash < 0)
        return QStringLiteral("--set takes \"Category/Row=value\", not \"%1\"").arg(set);
    const QString value = set.mid(eq + 1).trimmed();
    const OptionSheet::Row* found = nullptr;
    QString category;
    for (const OptionSheet::Category& c : sheet.categories())
        for (const OptionSheet::Row& row : c.rows)
            if (optionKey(c.name, row.caption).compare(key, Qt::CaseInsensitive) == 0) {
                found = &row;
                category = c.name;
            }
    if (!found)
        return QStringLiteral("no option row \"%1\"; rows: %2").arg(key, optionKeyList(sheet));
    const QString name = optionKey(category, found->caption);
    if (found->locked)
        return QStringLiteral("\"%1\" cannot be changed with this profile").arg(name);
    // The way a preset's values are set: a list row takes only its choices.
    if (applyStoredOptions(sheet, {{name, value}}) == 0)
        return QStringLiteral("\"%1\" takes one of: %2")
            .arg(name, found->choices.join(QStringLiteral(", ")));
    return std::nullopt;
}
} // namespace

bool wantsCommandLine(const QStringList& arguments) {
    for (const QString& arg : arguments) {
        if (arg == QLatin1String("--"))
            return false;
        if (kCommandWords.contains(arg) && !QFileInfo::exists(arg))
            return true;
    }
    return false;
}

std::variant<CliRequest, CliUsageError> parseCliArguments(const QStringList& arguments) {
    CliRequest r;
    std::optional<CliRequest::Command> command;
    bool keep = false;
    bool onlyFiles = false;
    const auto fail = [](const QString& text) { return CliUsageError{text}; };
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        QString arg = arguments.at(i);
        if (onlyFiles || !arg.startsWith(QLatin1Char('-')) || arg == QLatin1String("-")) {
            r.files << arg;
            continue;
        }
        if (arg == QLatin1String("--")) {
            onlyFiles = true;
            continue;
        }
        QString value;
        bool hasValue = false;
        if (const qsizetype eq = arg.indexOf(QLatin1Char('=')); eq > 0) {
            value = arg.mid(eq + 1);
            arg = arg.left(eq);
            hasValue = true;
        }
        if (arg == QLatin1String("-h"))
            arg = QStringLiteral("--help");
        if (kValued.contains(arg) || arg == QLatin1String("--watch")) {
            if (!hasValue) {
                if (i + 1 >= arguments.size())
                    return fail(QStringLiteral("%1 needs a value").arg(arg));
                value = arguments.at(++i);
            }
        } else if (hasValue) {
            return fail(QStringLiteral("%1 takes no value").arg(arg));
        }
        using C = CliRequest::Command;
        const auto setCommand = [&](C c) {
            const bool clash = command && *command != c;
            command = c;
            return !clash;
        };
        bool ok = true;
        if (arg == QLatin1String("--convert"))
            ok = setCommand(C::Convert);
        else if (arg == QLatin1String("--watch")) {
            ok = setCommand(C::Watch);
            r.files.prepend(value);
        } else if (arg == QLatin1String("--list-profiles"))
            ok = setCommand(C::ListProfiles);
        else if (arg == QLatin1String("--list-presets"))
            ok = setCommand(C::ListPresets);
        else if (arg == QLatin1String("--help"))
            ok = setCommand(C::Help);
        else if (arg == QLatin1String("--version"))
            ok = setCommand(C::Version);
        else if (arg == QLatin1String("--profile"))
            r.profile = value;
        else if (arg == QLatin1String("--preset"))
            r.preset = value;
        else if (arg == QLatin1String("--output"))
            r.output = value;
        else if (arg == QLatin1String("--settings"))
            r.settingsFile = value;
        else if (arg == QLatin1String("--record"))
            r.record = value;
        else if (arg == QLatin1String("--set"))
            r.sets << value;
        else if (arg == QLatin1String("--next-to-source"))
            r.nextToSource = true;
        else if (arg == QLatin1String("--json"))
            r.json = true;
        else if (arg == QLatin1String("--score"))
            r.score = true;
        else if (arg == QLatin1String("--keep"))
            keep = true;
        else if (arg == QLatin1String("--overwrite"))
            r.overwrite = true;
        else if (arg == QLatin1String("--parallel")) {
            const std::optional<double> n = strictNumber(value);
            if (!n || *n < 1 || *n > Preferences::maxParallel() || *n != qint64(*n))
                return fail(QStringLiteral("--parallel takes a whole number from 1 to %1")
                                .arg(Preferences::maxParallel()));
            r.parallel = int(*n);
        } else if (arg == QLatin1String("--stable-seconds")) {
            const std::optional<double> n = strictNumber(value);
            if (!n || *n <= 0)
                return fail(QStringLiteral("--stable-seconds takes a number above 0"));
            r.stableSeconds = *n;
        } else if (arg == QLatin1String("--start") || arg == QLatin1String("--end")) {
            const std::optional<qint64> t = parseTimeOption(value);
            if (!t)
                return fail(
                    QStringLiteral("%1 takes seconds or H:MM:SS, not \"%2\"").arg(arg, value));
            (arg == QLatin1String("--start") ? r.start : r.end) = t;
        } else {
            QStringList all = kCommandWords + kValued + kFlags;
            return fail(QStringLiteral("unknown option %1; options: %2")
                            .arg(arg, all.join(QStringLiteral(" "))));
        }
        if (!ok)
            return fail(QStringLiteral("give one command: %1")
                            .arg(kCommandWords.join(QStringLiteral(" "))));
    }
    if (!command)
        return fail(
            QStringLiteral("give one command: %1").arg(kCommandWords.join(QStringLiteral(" "))));
    r.command = *command;
    if (keep && r.overwrite)
        return fail(QStringLiteral("--keep and --overwrite cannot both be given"));
    if (keep)
        r.overwrite = false;
    if (!r.profile.isEmpty() && !r.preset.isEmpty())
        return fail(QStringLiteral(
            "--profile and --preset cannot both be given (a preset has its profile)"));
    if (r.command == CliRequest::Command::Convert && r.files.isEmpty())
        return fail(
            QStringLiteral("no files to convert; usage: clipvane --convert [OPTIONS] FILE..."));
    if (r.command == CliRequest::Command::Watch && r.files.size() != 1)
        return fail(QStringLiteral(
            "--watch takes one folder and no files; usage: clipvane --watch DIR [OPTIONS]"));
    if (r.start || r.end) {
        if (r.command != CliRequest::Command::Convert || r.files.size() != 1)
            return fail(QStringLiteral("--start and --end take one file to convert"));
        if (r.start && r.end && *r.end <= *r.start)
            return fail(QStringLiteral("--end must come after --start"));
    }
    return r;
}

std::optional<int> findProfile(const QString& typed) {
    const QString t = typed.trimmed();
    const QList<ProfileEntry>& catalogue = profileCatalogue();
    bool isNumber = false;
    const int number = t.toInt(&isNumber);
    for (int i = 0; i < catalogue.size(); ++i) {
        const ProfileEntry& entry = catalogue.at(i);
        if (entry.isHeading)
            continue;
        const QString bare = entry.caption.left(entry.caption.indexOf(QLatin1String("(*")));
        const bool named =
            isNumber ? number == i + 1
                     : t.compare(entry.caption, Qt::CaseInsensitive) == 0 ||
                           t.compare(bare, Qt::CaseInsensitive) == 0 ||
                           t.compare(profileLabel(entry.caption), Qt::CaseInsensitive) == 0;
        if (named)
            return i + 1;
    }
    return std::nullopt;
}

QString profileChoices() {
    QStringList choices;
    const QList<ProfileEntry>& catalogue = profileCatalogue();
    for (int i = 0; i < catalogue.size(); ++i)
        if (!catalogue.at(i).isHeading)
            choices << QStringLiteral("%1 (%2)").arg(i + 1).arg(
                profileLabel(catalogue.at(i).caption));
    return choices.join(QStringLiteral(", "));
}

std::variant<CliEncoding, CliUsageError> prepareEncoding(const CliRequest& request,
                                                         OptionSheet& sheet) {
    const QString file = request.settingsFile.isEmpty() ? settingsFilePath() : request.settingsFile;
    const Preferences preferences(file);
    CliEncoding out;
    fillOptionSheet(sheet);
    if (!request.preset.isEmpty()) {
        const QList<Preset> presets = PresetStore(file).load();
        const Preset* preset = PresetStore::findByName(presets, request.preset);
        if (!preset || !preset->isUsable()) {
            QStringList names;
            for (const Preset& p : presets)
                if (p.isUsable())
                    names << p.name;
            return CliUsageError{QStringLiteral("no preset \"%1\"; presets: %2")
                                     .arg(request.preset, names.isEmpty()
                                                              ? QStringLiteral("(none)")
                                                              : names.join(QStringLiteral(", ")))};
        }
        out.profileIndex = preset->profileIndex;
        applyPreset(sheet, *preset);
    } else {
        if (!request.profile.isEmpty()) {
            const std::optional<int> index = findProfile(request.profile);
            if (!index)
                return CliUsageError{QStringLiteral("unknown profile \"%1\"; profiles: %2")
                                         .arg(request.profile, profileChoices())};
            out.profileIndex = *index;
        } else {
            out.profileIndex = startProfileIndex(preferences.profile());
            const ProfileEntry* entry = profileAt(out.profileIndex);
            if (!entry || entry->isHeading)
                return CliUsageError{
                    QStringLiteral("the settings name no profile; give --profile: %1")
                        .arg(profileChoices())};
        }
        // The values the window would show for this profile.
        applyProfilePick(sheet, out.profileIndex);
        OptionMemory(file).recall(out.profileIndex, sheet);
    }
    for (const QString& set : request.sets)
        if (const std::optional<QString> problem = applySet(sheet, set))
            return CliUsageError{*problem};

    out.settings = RunSettings::read(preferences);
    out.settings.autoShut = false; // a command line never shuts the computer down
    if (!request.output.isEmpty())
        out.settings.outputFolder = QDir::cleanPath(QFileInfo(request.output).absoluteFilePath());
    if (!request.output.isEmpty() || request.nextToSource)
        out.settings.nextToSource = request.nextToSource;
    if (request.overwrite)
        out.settings.overwrite = *request.overwrite;
    if (request.parallel)
        out.settings.parallel = *request.parallel;
    return out;
}

QString profileListText() {
    QString text;
    const QList<ProfileEntry>& catalogue = profileCatalogue();
    for (int i = 0; i < catalogue.size(); ++i) {
        const ProfileEntry& entry = catalogue.at(i);
        if (!entry.isHeading)
            text += QStringLiteral("%1\t%2\t%3\n")
                        .arg(i + 1)
                        .arg(profileLabel(entry.caption), entry.caption);
    }
    return text;
}

QString presetListText(const QString& settingsFile) {
    QString text;
    const QString file = settingsFile.isEmpty() ? settingsFilePath() : settingsFile;
    for (const Preset& preset : PresetStore(file).load())
        text += QStringLiteral("%1\t%2%3\n")
                    .arg(preset.name, preset.profileCaption,
                         preset.isUsable()
                             ? QString()
                             : QStringLiteral("\t(") + preset.problem() + QLatin1Char(')'));
    return text;
}

QString cliHelpText() {
    return QStringLiteral(
        "Usage: clipvane [FILE...]                      open the window with these files\n"
        "       clipvane --convert [OPTIONS] FILE...    convert without a window\n"
        "       clipvane --watch DIR [OPTIONS]          convert what appears in DIR\n"
        "       clipvane --list-profiles | --list-presets [--settings FILE]\n"
        "       clipvane --help | --version\n"
        "\n"
        "Options:\n"
        "  --profile NAME|NUMBER   output profile (see --list-profiles)\n"
        "  --preset NAME           one of your presets (its profile and values)\n"
        "  --output DIR            where the outputs go\n"
        "  --next-to-source        each output beside its source\n"
        "  --keep | --overwrite    an existing output stays (new one: NAME_New) or is replaced\n"
        "  --parallel N            files converted at once\n"
        "  --start T --end T       convert only this part of one file (seconds or H:MM:SS.cc)\n"
        "  --set \"Category/Row=value\"  an option row, as presets name it (repeatable)\n"
        "  --settings FILE         another settings file (never written)\n"
        "  --json                  one JSON object per file on standard output\n"
        "  --score                 compare each output with its source (SSIM, PSNR)\n"
        "  --record FILE           --watch: the record of converted files (DIR/.clipvane-watch)\n"
        "  --stable-seconds S      --watch: how long a file must stay unchanged (5)\n"
        "\n"
        "Exit status: 0 every file converted, 1 some failed, 2 bad usage,\n"
        "130/143 stopped by SIGINT/SIGTERM.\n");
}

} // namespace clipvane
