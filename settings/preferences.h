#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace clipvane {

// The four batch settings as the settings dialog shows and edits them.
struct BatchChoices {
    QString outputFolder; // as shown: the stored folder, or the default output folder
    bool overwrite = false;
    bool autoShut = false;
    QString threads;           // the text typed or stored, read by its leading number on saving
    int parallel = 1;          // files converted at once
    bool nextToSource = false; // each output beside its source (the output folder if that fails)
    bool scoreQuality = true;  // each video output is compared with its source
};

// The program's settings in settings.dat: every key, its section and how its text is read,
// in one place. Values are read from the file as it is when asked for (answered from its one
// parse while it is unchanged); a run that must see one consistent set takes a RunSettings
// snapshot when it starts.
class Preferences {
public:
    static constexpr const char* kSection = "set";
    static constexpr const char* kProfile = "profile";
    static constexpr const char* kOutputFolder = "outputfolder";
    static constexpr const char* kExistedFile = "existedfile";
    static constexpr const char* kAutoShut = "autoshut";
    static constexpr const char* kThread = "thread";
    static constexpr const char* kParallel = "parallel";
    // "1": each converted file goes beside its source; anything else: into the output folder.
    static constexpr const char* kNextToSource = "nexttosource";
    // "0": outputs are not compared with their sources; anything else (or nothing): they are.
    static constexpr const char* kQualityScore = "qualityscore";

    // The keys that hold a path. Older settings files hold paths in an 8-bit code page: a path
    // whose line is not UTF-8 is read in Windows-1252, and written back in UTF-8 only when the
    // user saves the settings.
    static const QList<const char*>& pathKeys();

    // The settings file at its usual place (see settingsFilePath()), or the one given.
    Preferences();
    explicit Preferences(const QString& filePath) : m_filePath(filePath) {}

    QString filePath() const { return m_filePath; }
    // The key's value; a path key whose line is not UTF-8 read in Windows-1252.
    QString value(const char* key) const;
    // The path keys whose values were read in Windows-1252, in pathKeys() order.
    QStringList convertedPathKeys() const;
    bool setValue(const char* key, const QString& value) const;

    // The stored profile entry, as text (the picker decides what it names).
    QString profile() const { return value(kProfile); }
    void setProfile(int entry) const;
    // The output folder as stored; empty means the default output folder.
    QString outputFolder() const { return value(kOutputFolder); }
    // The folder converted files go to: the stored one (a relative one taken from the program
    // folder), or the default output folder.
    QString effectiveOutputFolder() const;
    // Whether an existing output is overwritten: the stored "0" or nothing keeps it (the new
    // one takes a "_New" name); anything else overwrites it.
    bool overwriteExisting() const;
    // Whether the computer is shut down after a batch: only the text "1" says so.
    bool autoShut() const;
    // Whether converted files go beside their sources: only the text "1" says so.
    bool nextToSource() const;
    // Whether each video output is compared with its source after a run: only "0" says no.
    bool scoreQuality() const;
    // The encoder's thread count, read as a leading number (0: the encoder decides).
    double threads() const;
    // How many files a batch converts at once: 1 to the number of cores; a missing or bad
    // value means 1.
    int parallel() const;
    static int maxParallel();

    // The encoder takes at most this many threads; 0 leaves the choice to it.
    static constexpr int kMaxThreads = 8;
    static constexpr const char* kThreadError = QT_TRANSLATE_NOOP("Preferences", "Thread error!");
    enum class SaveResult { Saved, ThreadRefused, WriteFailed };

    // What the settings dialog shows: the stored folder (the default output folder when none
    // is stored), the two flags as a batch reads them, and the thread text as stored.
    BatchChoices batchChoices() const;
    // Saves the dialog's choices: the thread count is the leading number of its text and must
    // lie between 0 and kMaxThreads, or nothing is written. Otherwise every key of the dialog is
    // written (in UTF-8), the folder without surrounding spaces; WriteFailed when any write
    // failed.
    SaveResult saveBatchChoices(const BatchChoices& choices) const;

private:
    QString m_filePath;
};

// The settings a batch run is given when it starts.
struct RunSettings {
    QString outputFolder;   // resolved: never empty
    bool overwrite = false; // existing outputs are replaced (or kept, the new file renamed)
    double threads = 0;
    int parallel = 1;      // files converted at once (a change reaches a run under way too)
    bool autoShut = false; // the computer shuts down when the run has ended
    // Each output goes beside its source; a source folder that cannot be written falls back to
    // outputFolder.
    bool nextToSource = false;
    // Each checked video output is compared with its source (its Quality column).
    bool scoreQuality = true;
    static RunSettings read(const Preferences& preferences);
};

} // namespace clipvane
