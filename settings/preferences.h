#pragma once

#include <QString>

namespace clipvane {

// The program's settings in settings.dat: every key, its section and how its text is read,
// in one place. Values are read from the file when asked for, never cached; a run that must
// see one consistent set takes a RunSettings snapshot when it starts.
class Preferences {
public:
    static constexpr const char* kSection = "set";
    static constexpr const char* kProfile = "profile";
    static constexpr const char* kOutputFolder = "outputfolder";
    static constexpr const char* kExistedFile = "existedfile";
    static constexpr const char* kAutoShut = "autoshut";
    static constexpr const char* kThread = "thread";

    // The settings file at its usual place (see settingsFilePath()), or the one given.
    Preferences();
    explicit Preferences(const QString& filePath) : m_filePath(filePath) {}

    QString filePath() const { return m_filePath; }
    QString value(const char* key) const;
    bool setValue(const char* key, const QString& value) const;

    // The stored profile entry, as text (the picker decides what it names).
    QString profile() const { return value(kProfile); }
    void setProfile(int entry) const;
    // The output folder as stored; empty means the default output folder.
    QString outputFolder() const { return value(kOutputFolder); }
    // The folder converted files go to: the stored one (a relative one taken from the program
    // folder), or the default output folder.
    QString effectiveOutputFolder() const;
    // "0" or empty: an existing output is kept and the new one takes a "_New" name; anything
    // else: it is overwritten.
    QString existedFile() const { return value(kExistedFile); }
    bool overwriteExisting() const;
    // Whether the computer is shut down after a batch: only the text "1" says so.
    bool autoShut() const;
    // The encoder's thread count, read as a leading number (0: the encoder decides).
    double threads() const;

private:
    QString m_filePath;
};

// The settings a batch run reads once, when it starts.
struct RunSettings {
    QString outputFolder; // resolved: never empty
    QString existedFile;
    double threads = 0;
    static RunSettings read(const Preferences& preferences);
};

} // namespace clipvane
