#pragma once

#include <string>

// Path and text helpers of the player. Paths use "/" as separator; a directory string may or may
// not end with one, and every joining of a directory and a name goes through appendBackslash.
namespace zb::app {

// An empty path and a path that already ends with a separator are returned unchanged; otherwise
// one "/" is appended.
std::string appendBackslash(const std::string& path);

// The directory of the running program, ending with "/". ZORBEL_HOME, when set and not empty,
// overrides it (tests and portable installs point it at a folder of their own).
std::string getHomePath();

// Where the settings files live: the home path when it can be written, else the user's
// configuration folder ($XDG_CONFIG_HOME/zorbel, else ~/.config/zorbel, created on demand).
// ZORBEL_HOME overrides both. movedAway tells the caller that the home path was not writable.
std::string getSettingsPath(const std::string& homePath, bool& movedAway);

// True when the whole text is a decimal integer of the 32-bit range (leading blanks and a sign
// allowed, as the usual text-to-integer conversion does) and, for each check switched on, not
// below minimum or not above maximum.
bool numberOK(const std::string& text, bool checkMinimum, bool checkMaximum, long minimum,
              long maximum);

// The parsed value of a text numberOK accepts without bounds.
long textToInt(const std::string& text);

// File name parts, decided by the text alone.
std::string extractFileName(const std::string& path); // after the last "/"
std::string extractFileExt(const std::string& path);  // ".mid", "" when the name has none
std::string changeFileExt(const std::string& path, const std::string& ext);
// A song the player compiles: ".mid", or a karaoke file ".kar" (a MIDI file too), in any case.
bool isMidiName(const std::string& path);
bool hasDirectoryPart(const std::string& path);
// The read-only data of an installed program: exeDir is a "bin" folder with "share/zorbel/"
// beside it. Empty for a run from the build tree, and whenever ZORBEL_HOME is set.
std::string installedDataPath(const std::string& exeDir);
std::string installedDataPath(); // of the running program
// The user's folders of an installed program, each ending in "/": $XDG_CONFIG_HOME/zorbel (or
// ~/.config/zorbel), $XDG_DATA_HOME/zorbel (or ~/.local/share/zorbel), and the music folder
// (XDG_MUSIC_DIR of user-dirs.dirs, else ~/Music). Empty when neither variable nor HOME is set.
std::string userConfigPath();
std::string userDataPath();
std::string userMusicPath();

// A command-line argument as the shell user means it: a relative path with a directory part
// ("songs/a.mid", "../MID") is taken from the process's working directory and made absolute;
// an absolute path or a bare name (looked up in the player's own directories) stays as it is.
std::string argumentPath(const std::string& argument);
std::string lowerCase(std::string text);
std::string upperCase(std::string text);

bool fileExists(const std::string& path); // a file that is not a directory
bool directoryExists(const std::string& path);

} // namespace zb::app
