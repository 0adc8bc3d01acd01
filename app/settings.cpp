#include "app/settings.h"

#include "app/atomic_file.h"
#include "app/paths.h"

#include <SimpleIni.h>
#include <climits>
#include <filesystem>
#include <fstream>

namespace zb::app {

namespace {

constexpr const char* kDirectories = "Directories";
constexpr const char* kPositions = "Positions";
constexpr const char* kPlayOptions = "PlayOptions";
constexpr const char* kPlayControl = "PlayControl";

// Settings files are small; anything far larger is not one of ours and is not read.
constexpr std::uintmax_t kMaxSettingsFileBytes = 4 << 20;
// No valid drum line comes near this; longer lines are skipped without being stored.
constexpr std::size_t kMaxDrumLine = 4096;

bool loadIni(const std::string& path, CSimpleIniA& ini) {
    ini.SetUnicode(false);
    ini.SetMultiKey(false);
    if (!fileExists(path))
        return false;
    std::error_code ec;
    if (std::filesystem::file_size(path, ec) > kMaxSettingsFileBytes || ec)
        return false;
    return ini.LoadFile(path.c_str()) >= 0;
}

void readString(const CSimpleIniA& ini, const char* section, const char* key, std::string& value) {
    if (const char* text = ini.GetValue(section, key, nullptr))
        value = text;
}

// INI integers as the profile functions read them: a missing key or a value that is not a number
// keeps the current value; values beyond 32 bits are not taken.
void readInt(const CSimpleIniA& ini, const char* section, const char* key, int& value) {
    const char* text = ini.GetValue(section, key, nullptr);
    if (text && numberOK(text, false, false, 0, 0))
        value = static_cast<int>(textToInt(text));
}

// Booleans are stored as 0 or 1 and read as true exactly when the stored integer is 1.
void readBool(const CSimpleIniA& ini, const char* section, const char* key, bool& value) {
    int number = value ? 1 : 0;
    readInt(ini, section, key, number);
    value = number == 1;
}

void writeInt(CSimpleIniA& ini, const char* section, const char* key, long value) {
    ini.SetLongValue(section, key, value);
}

bool saveIni(const std::string& path, const CSimpleIniA& ini) {
    std::string text;
    if (ini.Save(text) < 0)
        return false;
    return writeFileAtomically(path, text);
}

bool drumCellOK(const std::string& text, long minimum, long maximum) {
    return text == "ALL" || numberOK(text, true, true, minimum, maximum);
}

} // namespace

void setDefaultDirectories(TOptions& options, const std::string& homePath) {
    options.midiDirectory = homePath + "MID";
    options.patchDirectory = homePath + "PRG";
    options.sampleDirectory = homePath + "WAV";
    options.destinationDirectory = homePath + "Song";
    options.playlistDirectory = homePath + "ZbL";
}

void setInstalledDirectories(TOptions& options, const std::string& dataPath,
                             const std::string& userData, const std::string& music) {
    options.midiDirectory = dataPath + "MID";
    options.patchDirectory = dataPath + "PRG";
    options.sampleDirectory = dataPath + "WAV";
    options.destinationDirectory = music + "Zorbel";
    options.playlistDirectory = userData + "ZbL";
}

namespace {
void readSongDirectories(const CSimpleIniA& ini, TOptions& options) {
    readString(ini, kDirectories, "MID", options.midiDirectory);
    readString(ini, kDirectories, "PRG", options.patchDirectory);
    readString(ini, kDirectories, "WAV", options.sampleDirectory);
    readString(ini, kDirectories, "Song", options.destinationDirectory);
}
} // namespace

bool readSiblingSettings(const std::string& path, TOptions& options) {
    CSimpleIniA ini;
    if (!loadIni(path, ini))
        return false;
    readSongDirectories(ini, options);
    return true;
}

bool readSettings(const std::string& path, TSettings& settings) {
    CSimpleIniA ini;
    if (!loadIni(path, ini))
        return false;
    TOptions& options = settings.options;
    readSongDirectories(ini, options);
    readString(ini, kDirectories, "ZbL", options.playlistDirectory);
    readInt(ini, kPositions, "MainTop", settings.mainPosition.top);
    readInt(ini, kPositions, "MainLeft", settings.mainPosition.left);
    readBool(ini, kPlayOptions, "Saturate", options.saturate);
    readBool(ini, kPlayOptions, "DefaultTo0", options.defaultTo0);
    readBool(ini, kPlayOptions, "LegacyMode", options.legacyMode);
    int device = options.waveOutDevice;
    readInt(ini, kPlayOptions, "waveOutDevice", device);
    options.waveOutDevice = device;

    TPlayControl& control = settings.playControl;
    readInt(ini, kPlayControl, "Volume", control.volume);
    readInt(ini, kPlayControl, "Balance", control.balance);
    readBool(ini, kPlayControl, "Mute", control.mute);
    readString(ini, kPlayControl, "Playlist", control.playlist);
    int sequence = control.repeat ? 1 : control.shuffle ? 2 : 0;
    readInt(ini, kPlayControl, "SequenceMode", sequence);
    control.repeat = sequence == 1;
    control.shuffle = sequence == 2;
    readBool(ini, kPlayControl, "IntroMode", control.intro);
    if (!control.playlist.empty()) {
        if (fileExists(control.playlist))
            readInt(ini, kPlayControl, "Track", control.track);
        else
            control.playlist.clear();
    }
    return true;
}

bool writeSettings(const std::string& path, const TSettings& settings) {
    CSimpleIniA ini;
    loadIni(path, ini);
    const TOptions& options = settings.options;
    ini.SetValue(kDirectories, "MID", options.midiDirectory.c_str());
    ini.SetValue(kDirectories, "Song", options.destinationDirectory.c_str());
    ini.SetValue(kDirectories, "PRG", options.patchDirectory.c_str());
    ini.SetValue(kDirectories, "WAV", options.sampleDirectory.c_str());
    ini.SetValue(kDirectories, "ZbL", options.playlistDirectory.c_str());
    writeInt(ini, kPositions, "MainTop", settings.mainPosition.top);
    writeInt(ini, kPositions, "MainLeft", settings.mainPosition.left);
    writeInt(ini, kPlayOptions, "Saturate", options.saturate ? 1 : 0);
    writeInt(ini, kPlayOptions, "DefaultTo0", options.defaultTo0 ? 1 : 0);
    writeInt(ini, kPlayOptions, "LegacyMode", options.legacyMode ? 1 : 0);
    writeInt(ini, kPlayOptions, "waveOutDevice", options.waveOutDevice);
    const TPlayControl& control = settings.playControl;
    writeInt(ini, kPlayControl, "Volume", control.volume);
    writeInt(ini, kPlayControl, "Balance", control.balance);
    writeInt(ini, kPlayControl, "Mute", control.mute ? 1 : 0);
    writeInt(ini, kPlayControl, "SequenceMode", control.repeat ? 1 : control.shuffle ? 2 : 0);
    writeInt(ini, kPlayControl, "IntroMode", control.intro ? 1 : 0);
    ini.SetValue(kPlayControl, "Playlist", control.playlist.c_str());
    writeInt(ini, kPlayControl, "Track", control.track);
    return saveIni(path, ini);
}

bool readDrumsFile(const std::string& path, TDrumTable& table) {
    if (!fileExists(path))
        return false;
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    bool firstAccepted = true;
    std::string line;
    bool overlong = false;
    auto takeLine = [&] {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        const auto space = line.find(' ');
        // A line without a space has no channel, so it is never valid.
        if (!overlong && space != std::string::npos) {
            std::string track = line.substr(0, space);
            std::string channel = line.substr(space + 1);
            if (drumCellOK(track, -1, 65535) && drumCellOK(channel, 1, 16)) {
                if (firstAccepted) {
                    if (table.size() < 2)
                        table.resize(2);
                    table[1] = {track, channel};
                    firstAccepted = false;
                } else {
                    table.push_back({track, channel});
                }
            }
        }
        line.clear();
        overlong = false;
    };
    for (int c; (c = in.get()) != std::char_traits<char>::eof();) {
        if (c == '\n') {
            takeLine();
        } else if (line.size() < kMaxDrumLine) {
            line.push_back(static_cast<char>(c));
        } else {
            overlong = true;
        }
    }
    if (!line.empty() || overlong)
        takeLine();
    return true;
}

bool writeDrumsFile(const std::string& path, const TDrumTable& table) {
    std::string text;
    for (std::size_t row = 1; row < table.size(); ++row)
        text += table[row][0] + " " + table[row][1] + "\r\n";
    return writeFileAtomically(path, text);
}

std::optional<TPosition> readDialogPosition(const std::string& path, const std::string& topKey,
                                            const std::string& leftKey) {
    CSimpleIniA ini;
    if (!loadIni(path, ini))
        return std::nullopt;
    const char* top = ini.GetValue(kPositions, topKey.c_str(), nullptr);
    const char* left = ini.GetValue(kPositions, leftKey.c_str(), nullptr);
    if (!top || !left || !numberOK(top, false, false, 0, 0) || !numberOK(left, false, false, 0, 0))
        return std::nullopt;
    return TPosition{static_cast<int>(textToInt(top)), static_cast<int>(textToInt(left))};
}

bool writeDialogPosition(const std::string& path, const std::string& topKey,
                         const std::string& leftKey, TPosition position) {
    CSimpleIniA ini;
    loadIni(path, ini);
    writeInt(ini, kPositions, topKey.c_str(), position.top);
    writeInt(ini, kPositions, leftKey.c_str(), position.left);
    return saveIni(path, ini);
}

} // namespace zb::app
