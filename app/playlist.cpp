#include "app/playlist.h"

#include "app/atomic_file.h"
#include "app/paths.h"
#include "app/shell.h"

#include <fstream>

namespace zb::app {

namespace {

// No path the file system accepts is this long; a longer line is skipped without being kept in
// memory, so a file of one enormous line costs no more than a small one.
constexpr std::size_t kMaxLineLength = 16 * 1024;

// Turns one line of a playlist file into an entry, or into nothing.
void addLine(std::string& line, const std::string& bareNameDirectory,
             std::vector<std::string>& entries) {
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    // The operating system would stop a name at a NUL byte and find some other file.
    if (line.empty() || line.find('\0') != std::string::npos)
        return;
    if (!bareNameDirectory.empty() && !hasDirectoryPart(line))
        line = appendBackslash(bareNameDirectory) + line;
    if (fileExists(line))
        entries.push_back(line);
}

} // namespace

void disposePlaylist(TPlayList& list) {
    list.entries.clear();
}

TPlayList copyPlaylist(const TPlayList& list) {
    return list;
}

bool canOpenFile(const std::string& path) {
    if (!fileExists(path))
        return false;
    std::ifstream in(path, std::ios::binary);
    return in.is_open();
}

std::vector<std::string> readPlaylistFile(const std::string& path,
                                          const std::string& bareNameDirectory) {
    std::vector<std::string> entries;
    std::ifstream in(path, std::ios::binary);
    if (!in.is_open())
        return entries;
    std::vector<char> block(64 * 1024);
    std::string line;
    bool tooLong = false;
    while (in) {
        in.read(block.data(), static_cast<std::streamsize>(block.size()));
        const auto got = static_cast<std::size_t>(in.gcount());
        for (std::size_t i = 0; i < got; ++i) {
            const char c = block[i];
            if (c == '\n') {
                if (!tooLong)
                    addLine(line, bareNameDirectory, entries);
                line.clear();
                tooLong = false;
            } else if (!tooLong) {
                line.push_back(c);
                if (line.size() > kMaxLineLength) {
                    tooLong = true;
                    line.clear();
                }
            }
        }
    }
    if (!tooLong)
        addLine(line, bareNameDirectory, entries);
    return entries;
}

bool writePlaylistFile(const TPlayList& list, const std::string& path) {
    std::string content;
    for (const auto& entry : list.entries) {
        if (entry.fileName.find('\n') != std::string::npos)
            continue;
        content += entry.fileName;
        content += "\r\n";
    }
    return writeFileAtomically(path, content);
}

bool loadPlayList(TPlayList& list, const std::string& path) {
    if (!canOpenFile(path))
        return false;
    for (auto& name : readPlaylistFile(path))
        list.entries.push_back({std::move(name), false});
    list.modified = false;
    return true;
}

std::size_t insertPassedFiles(TPlayList& list, const std::vector<std::string>& args,
                              const std::string& midiDirectory,
                              const std::string& sampleDirectory) {
    std::vector<TPlayListNode> passed;
    for (const auto& arg : args) {
        const std::string ext = upperCase(extractFileExt(arg));
        std::string path = arg;
        if (isMidiName(arg) && !hasDirectoryPart(arg))
            path = appendBackslash(midiDirectory) + arg;
        else if (ext == ".WAV" && !hasDirectoryPart(arg))
            path = appendBackslash(sampleDirectory) + arg;
        else if (!isMidiName(arg) && ext != ".WAV")
            continue;
        if (fileExists(path))
            passed.push_back({std::move(path), false});
    }
    list.entries.insert(list.entries.begin(), passed.begin(), passed.end());
    if (!passed.empty())
        list.modified = true;
    return passed.size();
}

bool addDroppedFiles(TPlayList& list, const std::vector<std::string>& files) {
    bool added = false;
    for (const auto& file : files) {
        const std::string ext = lowerCase(extractFileExt(file));
        if (isMidiName(file) || ext == ".wav") {
            list.entries.push_back({file, false});
            added = true;
        }
    }
    if (added)
        list.modified = true;
    return added;
}

bool loadDemoPlaylist(TPlayList& list, const std::string& playlistDirectory,
                      const std::string& midiDirectory, const std::string& demoDirectory) {
    const std::string demoList = appendBackslash(demoDirectory) + kDemoListName;
    if (!directoryExists(midiDirectory) || !fileExists(demoList))
        return false;
    // The demonstration list names its songs by bare file name, meant to be found in the MIDI
    // directory. They are looked up there explicitly instead of through the working directory,
    // which only happens to be the MIDI directory at start-up.
    std::size_t added = 0;
    for (auto& name : readPlaylistFile(demoList, midiDirectory)) {
        list.entries.push_back({std::move(name), false});
        ++added;
    }
    if (added > 0) {
        list.modified = true;
        list.fileName = appendBackslash(playlistDirectory) + kDemoPlaylistName;
    } else {
        list.modified = false;
        list.fileName.clear();
    }
    return added > 0;
}

bool savePlaylist(TPlayList& list, const std::string& playlistDirectory, Shell& shell) {
    TFileDialog request;
    request.kind = TFileDialog::TKind::save;
    request.title = "Save playlist file";
    request.filter = kPlaylistFilter;
    request.defaultExt = kPlaylistDefaultExt;
    request.initialDir = playlistDirectory;
    request.fileName = list.fileName;
    request.pathMustExist = true;
    const auto chosen = shell.fileDialog(request);
    if (!chosen)
        return false;
    list.fileName = *chosen;
    if (!writePlaylistFile(list, list.fileName)) {
        shell.showError("Error: can't open file " + list.fileName);
        return false;
    }
    list.modified = false;
    return true;
}

} // namespace zb::app
