#include "app/instrument_sets.h"
#include "app/paths.h"

#include "importer/sf_importer.h"
#include "importer/sound_font.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <unistd.h>

namespace zb::app {

namespace {

namespace fs = std::filesystem;

// Marks a set whose import ran to its end; it holds the font's path.
constexpr const char* kCompleteStamp = ".complete";

std::string dataHome() {
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg)
        return xdg;
    if (const char* home = std::getenv("HOME"); home && *home)
        return std::string(home) + "/.local/share";
    return "/tmp";
}

struct TCancelled {};

} // namespace

std::vector<std::string> soundFontFolders() {
    return {"/usr/share/sounds/sf2", "/usr/share/sounds/sf3", dataHome() + "/sounds/sf2"};
}

std::vector<TSoundFontChoice> findSoundFonts(const std::vector<std::string>& folders) {
    std::vector<TSoundFontChoice> out;
    std::set<fs::path> seen;
    for (const auto& folder : folders) {
        std::error_code ec;
        for (const auto& entry : fs::directory_iterator(folder, ec)) {
            const std::string ext = lowerCase(entry.path().extension().string());
            if ((ext != ".sf2" && ext != ".sf3") || !entry.is_regular_file(ec))
                continue;
            if (!seen.insert(fs::weakly_canonical(entry.path(), ec)).second)
                continue;
            out.push_back({entry.path().filename().string(), entry.path().string()});
        }
    }
    std::sort(out.begin(), out.end(),
              [](const auto& a, const auto& b) { return lowerCase(a.name) < lowerCase(b.name); });
    return out;
}

std::string instrumentSetFolder(const std::string& fontPath) {
    std::string name = fs::path(fontPath).stem().string();
    for (char& c : name)
        if (c == '/' || c == '\0')
            c = '_';
    return dataHome() + "/zorbel/instruments/" + (name.empty() ? "font" : name) + "/";
}

TInstrumentImport::TInstrumentImport(std::string fontPath, std::string setFolder)
    : fontPath_(std::move(fontPath)), setFolder_(std::move(setFolder)) {
    worker_ = std::thread([this] { run(); });
}

TInstrumentImport::~TInstrumentImport() {
    cancel();
    if (worker_.joinable())
        worker_.join();
}

void TInstrumentImport::run() {
    fs::path target = fs::path(setFolder_).lexically_normal();
    if (target.filename().empty())
        target = target.parent_path();
    std::error_code ec;
    {
        std::ifstream stamp(target / kCompleteStamp);
        std::string font;
        if (stamp && std::getline(stamp, font) && font == fontPath_) {
            finished_ = true;
            return;
        }
    }
    const fs::path partial = target.parent_path() / ("." + target.filename().string() + ".part-" +
                                                     std::to_string(getpid()));
    fs::remove_all(partial, ec);
    try {
        importer::TImportOptions options;
        options.progress = [this](int done, int total) {
            if (cancelled_)
                throw TCancelled{};
            done_ = done;
            total_ = total;
        };
        importer::importSoundFont(fontPath_, partial.string(), options);
        std::ofstream(partial / kCompleteStamp) << fontPath_ << "\n";
        fs::remove_all(target, ec);
        fs::rename(partial, target, ec);
        if (ec)
            error_ = "cannot write " + target.string() + ": " + ec.message();
    } catch (const TCancelled&) {
        error_ = "cancelled";
    } catch (const importer::TImportError& e) {
        error_ = e.what();
    } catch (const std::exception& e) {
        error_ = e.what();
    }
    if (!error_.empty())
        fs::remove_all(partial, ec);
    finished_ = true;
}

} // namespace zb::app
