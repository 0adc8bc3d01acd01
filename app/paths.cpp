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

std::string getHomePath() {
    if (const char* home = std::getenv("ZORBEL_HOME"); home && *home)
        return appendBackslash(home);
    std::error_code ec;
    auto exe = fs::read_symlink("/proc/self/exe", ec);
    if (ec)
        return appendBackslash(fs::current_path(ec).string());
    return appendBackslash(exe.parent_path().string());
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
    if (const char* home = std::getenv("ZORBEL_HOME"); home && *home)
        return homePath;
    if (canWriteIn(homePath))
        return homePath;
    std::string config;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg)
        config = appendBackslash(xdg) + "zorbel";
    else if (const char* user = std::getenv("HOME"); user && *user)
        config = appendBackslash(user) + ".config/zorbel";
    else
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
