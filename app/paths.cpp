#include "app/paths.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <system_error>
#include <unistd.h>

namespace zb::app {

namespace fs = std::filesystem;

std::string appendBackslash(const std::string& path) {
    if (path.empty() || path.back() == '/')
        return path;
    return path + "/";
}

namespace {

std::string programFolder() {
    std::error_code ec;
    auto exe = fs::read_symlink("/proc/self/exe", ec);
    if (ec)
        return appendBackslash(fs::current_path(ec).string());
    return appendBackslash(exe.parent_path().string());
}

bool zorbelHomeSet() {
    const char* home = std::getenv("ZORBEL_HOME");
    return home != nullptr && *home != '\0';
}

// $variable, else HOME + fallback; with "zorbel/" appended when asked.
std::string userFolder(const char* variable, const char* fallback, bool own) {
    std::string folder;
    if (const char* value = std::getenv(variable); value && *value == '/')
        folder = appendBackslash(value);
    else if (const char* user = std::getenv("HOME"); user && *user)
        folder = appendBackslash(user) + fallback;
    else
        return "";
    return own ? folder + "zorbel/" : folder;
}

} // namespace

std::string getHomePath() {
    return zorbelHomeSet() ? appendBackslash(std::getenv("ZORBEL_HOME")) : programFolder();
}

std::string installedDataPath(const std::string& exeDir) {
    const fs::path bin = fs::path(exeDir).lexically_normal();
    const fs::path folder = bin.has_filename() ? bin : bin.parent_path();
    if (zorbelHomeSet() || folder.filename() != "bin")
        return "";
    const fs::path data = folder.parent_path() / "share" / "zorbel";
    return directoryExists(data.string()) ? appendBackslash(data.string()) : "";
}

std::string installedDataPath() {
    return installedDataPath(programFolder());
}

std::string userConfigPath() {
    return userFolder("XDG_CONFIG_HOME", ".config/", true);
}

std::string userDataPath() {
    return userFolder("XDG_DATA_HOME", ".local/share/", true);
}

std::string userMusicPath() {
    // user-dirs.dirs holds lines such as XDG_MUSIC_DIR="$HOME/Musik", written by xdg-user-dirs.
    const std::string config = userFolder("XDG_CONFIG_HOME", ".config/", false);
    const char* user = std::getenv("HOME");
    const std::string home = user != nullptr ? user : "";
    const std::string key = "XDG_MUSIC_DIR=\"";
    std::ifstream dirs(config + "user-dirs.dirs");
    for (std::string line; !config.empty() && std::getline(dirs, line);) {
        if (line.rfind(key, 0) != 0 || line.size() < key.size() + 2 || line.back() != '"')
            continue;
        std::string value = line.substr(key.size(), line.size() - key.size() - 1);
        if (value.rfind("$HOME", 0) == 0)
            value = home + value.substr(5);
        if (!value.empty() && value.front() == '/')
            return appendBackslash(value);
    }
    return home.empty() ? "" : appendBackslash(home) + "Music/";
}

namespace {

// Creating and removing a probe file is the only reliable test: permissions alone do not tell
// about read-only mounts.
bool canWriteIn(const std::string& dir) {
    std::string probe = appendBackslash(dir) + ".zb-write-probe-" + std::to_string(::getpid());
    {
        std::ofstream out(probe, std::ios::binary | std::ios::trunc);
        if (!out)
            return false;
    }
    std::error_code ec;
    fs::remove(probe, ec);
    return true;
}

} // namespace

std::string getSettingsPath(const std::string& homePath, bool& movedAway) {
    movedAway = false;
    if (zorbelHomeSet())
        return homePath;
    if (canWriteIn(homePath))
        return homePath;
    const std::string config = userConfigPath();
    if (config.empty())
        return homePath;
    std::error_code ec;
    fs::create_directories(config, ec);
    movedAway = true;
    return appendBackslash(config);
}

bool numberOK(const std::string& text, bool checkMinimum, bool checkMaximum, long minimum,
              long maximum) {
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ')
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    if (i == text.size())
        return false;
    long long value = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9')
            return false;
        value = value * 10 + (text[i] - '0');
        if (value > 2147483648LL)
            return false;
    }
    if (negative)
        value = -value;
    if (value > INT_MAX || value < INT_MIN)
        return false;
    if (checkMinimum && value < minimum)
        return false;
    if (checkMaximum && value > maximum)
        return false;
    return true;
}

long textToInt(const std::string& text) {
    return std::strtol(text.c_str(), nullptr, 10);
}

std::string extractFileName(const std::string& path) {
    auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string extractFileExt(const std::string& path) {
    std::string name = extractFileName(path);
    auto dot = name.find_last_of('.');
    return dot == std::string::npos ? std::string() : name.substr(dot);
}

bool isMidiName(const std::string& path) {
    const std::string ext = lowerCase(extractFileExt(path));
    return ext == ".mid" || ext == ".kar";
}

std::string changeFileExt(const std::string& path, const std::string& ext) {
    std::string ownExt = extractFileExt(path);
    return path.substr(0, path.size() - ownExt.size()) + ext;
}

bool hasDirectoryPart(const std::string& path) {
    return path.find('/') != std::string::npos;
}

std::string argumentPath(const std::string& argument) {
    if (!hasDirectoryPart(argument) || argument.front() == '/')
        return argument;
    std::error_code ec;
    const fs::path here = fs::current_path(ec);
    return ec ? argument : (here / argument).lexically_normal().string();
}

std::string lowerCase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

std::string upperCase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return text;
}

bool fileExists(const std::string& path) {
    std::error_code ec;
    auto status = fs::status(path, ec);
    return !ec && fs::exists(status) && !fs::is_directory(status);
}

bool directoryExists(const std::string& path) {
    std::error_code ec;
    return !path.empty() && fs::is_directory(path, ec);
}

} // namespace zb::app
