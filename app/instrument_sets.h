#pragma once

#include <atomic>
#include <string>
#include <thread>
#include <vector>

// Instrument sets made from SoundFonts: finding the fonts on the system, where the set of a
// font lives, and its import on a worker thread.
namespace zb::app {

struct TSoundFontChoice {
    std::string name; // the file name
    std::string path;
};

// The system's and the user's SoundFont folders: /usr/share/sounds/sf2 and sf3, and
// $XDG_DATA_HOME/sounds/sf2 (else ~/.local/share/sounds/sf2).
std::vector<std::string> soundFontFolders();

// The *.sf2 and *.sf3 files of the folders, each file once (a link and its target are one),
// sorted by name.
std::vector<TSoundFontChoice> findSoundFonts(const std::vector<std::string>& folders);

// Where the set of a font is kept: $XDG_DATA_HOME/zorbel/instruments/<font name>/ (else
// ~/.local/share/...), with PRG/ and WAV/ inside. Ends with "/".
std::string instrumentSetFolder(const std::string& fontPath);

// One import of a font into its set folder, on a thread of its own that touches nothing but the
// folder: the owner polls finished() (on its own thread) and then reads error(). A set imported
// completely before is reused at once. The import writes beside the folder and renames it into
// place when complete, so a failed or cancelled one leaves no set and the one in use untouched.
class TInstrumentImport final {
public:
    TInstrumentImport(std::string fontPath, std::string setFolder);
    TInstrumentImport(const TInstrumentImport&) = delete;
    TInstrumentImport& operator=(const TInstrumentImport&) = delete;
    ~TInstrumentImport(); // cancels a running import and waits for it

    void cancel() { cancelled_ = true; }
    bool finished() const { return finished_; }
    // After finished(): the reason it failed ("cancelled" when it was), empty when the set is
    // ready.
    const std::string& error() const { return error_; }
    // Presets done and in all, for a progress bar.
    int done() const { return done_; }
    int total() const { return total_; }
    const std::string& fontPath() const { return fontPath_; }
    const std::string& setFolder() const { return setFolder_; }

private:
    void run();

    std::string fontPath_, setFolder_, error_;
    std::atomic<bool> cancelled_{false}, finished_{false};
    std::atomic<int> done_{0}, total_{0};
    std::thread worker_;
};

} // namespace zb::app
