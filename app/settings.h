#pragma once

#include "app/options.h"

#include <optional>
#include <string>

// The settings files: "ZB.INI" (the player's settings and dialog positions), "DRUMS.INI" (the
// drum track:channel table, one "track channel" line per entry) and "BL.INI" (a sibling program's
// settings, of which only the directories are taken over). Reading never fails: a missing file
// or key keeps the current value. Writing goes through a temporary file and a rename, so an
// interrupted shut-down never leaves a truncated file.
namespace zb::app {

inline constexpr const char* kSettingsFile = "ZB.INI";
inline constexpr const char* kDrumsFile = "DRUMS.INI";
inline constexpr const char* kSiblingSettingsFile = "BL.INI";

struct TPosition {
    int top = 0;
    int left = 0;
};

// The play controls the main window keeps between sessions.
struct TPlayControl {
    int volume = 10;  // up-down position 0..99, 10 is the factor 1.0
    int balance = 50; // 0..100, 50 is the centre
    bool mute = false;
    bool repeat = false;
    bool shuffle = false;
    bool intro = false;
    std::string playlist; // the current playlist file, empty for none
    int track = 0;        // the selected playlist entry, 1-based
};

// Everything "ZB.INI" holds apart from the dialog positions.
struct TSettings {
    TOptions options;
    TPosition mainPosition;
    TPlayControl playControl;
};

// The five directories below the home path: MID, PRG, WAV, Song, ZbL.
void setDefaultDirectories(TOptions& options, const std::string& homePath);
// The defaults of an installed program: songs and instruments from its data folder, playlists in
// the user's data folder, recordings in the music folder under "Zorbel".
void setInstalledDirectories(TOptions& options, const std::string& dataPath,
                             const std::string& userData, const std::string& music);

// Takes the directories MID, PRG, WAV and Song over from a "BL.INI" file; false when it does not
// exist.
bool readSiblingSettings(const std::string& path, TOptions& options);

// Reads "ZB.INI" into settings; false when the file does not exist (the first start). A Playlist
// key naming a file that no longer exists is cleared, and Track is then not read.
bool readSettings(const std::string& path, TSettings& settings);

// Writes every key of settings into "ZB.INI", keeping the keys it does not own (dialog positions).
bool writeSettings(const std::string& path, const TSettings& settings);

// Reads "DRUMS.INI" into table, which starts as the built-in table; false when the file could
// not be opened (the built-in entry then stands).
bool readDrumsFile(const std::string& path, TDrumTable& table);
bool writeDrumsFile(const std::string& path, const TDrumTable& table);

// A dialog's saved position (keys such as "OptionsTop" and "OptionsLeft"); nothing when the file
// or one of the keys does not exist, so the dialog opens centred.
std::optional<TPosition> readDialogPosition(const std::string& path, const std::string& topKey,
                                            const std::string& leftKey);
// Stores a dialog's position, creating the file when needed.
bool writeDialogPosition(const std::string& path, const std::string& topKey,
                         const std::string& leftKey, TPosition position);

} // namespace zb::app
