#pragma once

#include "settings/preferences.h"

#include <QString>
#include <QStringList>
#include <optional>
#include <variant>

namespace clipvane {

class OptionSheet;

// What the command line asks for: one of the commands and the options given with it.
struct CliRequest {
    enum class Command { Convert, Watch, ListProfiles, ListPresets, Help, Version };
    Command command = Command::Help;
    QStringList files; // --convert: the files; --watch: the one folder
    QString profile;   // --profile NAME|NUMBER as typed
    QString preset;    // --preset NAME
    QString output;    // --output DIR
    bool nextToSource = false;
    std::optional<bool> overwrite; // --overwrite (true), --keep (false), else the settings'
    std::optional<int> parallel;
    std::optional<qint64> start; // hundredths of a second
    std::optional<qint64> end;
    QStringList sets; // --set "Category/Row=value", in order
    QString settingsFile;
    bool json = false;
    bool score = false;       // --score: each output compared with its source before it is reported
    QString record;           // --watch: the record of converted files
    double stableSeconds = 5; // --watch: how long a file must stay unchanged
};

// A usage error: one line saying what is wrong (with the valid choices where there are some).
struct CliUsageError {
    QString message;
};

// Reads the arguments after the program's name.
std::variant<CliRequest, CliUsageError> parseCliArguments(const QStringList& arguments);

// Whether these arguments (after the program's name) ask for the command line rather than the
// window: one of the command words, before any "--" and not the name of an existing file.
bool wantsCommandLine(const QStringList& arguments);

// The 1-based catalogue entry a --profile text names (its number, its caption with or without
// the extension, or its short label such as "MP4 H.264", in any case), or nothing.
std::optional<int> findProfile(const QString& typed);
// "2 (FLV), 3 (SWF), 5 (MP4 H.264), ...": the profiles a --profile may name.
QString profileChoices();

// The sheet and profile a conversion uses, from a settings file, --profile/--preset and --set.
struct CliEncoding {
    int profileIndex = 0;
    RunSettings settings;
};
// Sets the sheet as the window would show it for the chosen profile (its remembered values, or
// the preset's), then each --set; the run settings from the file, then the options. Refuses
// (a usage error) an unknown profile, preset or row, or a value a row does not take.
std::variant<CliEncoding, CliUsageError> prepareEncoding(const CliRequest& request,
                                                         OptionSheet& sheet);

QString cliHelpText();
QString profileListText();
QString presetListText(const QString& settingsFile);

} // namespace clipvane
