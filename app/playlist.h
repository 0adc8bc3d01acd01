#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace zb::app {

class Shell;

// One playlist entry: the full path of a MIDI or WAV file. selected mirrors the selection of the
// playlist dialog's list and moves with the entry when the dialog reorders it; nothing else
// looks at it.
struct TPlayListNode {
    std::string fileName;
    bool selected = false;
};

// The ordered list of files the player works through. fileName is the ZbL file it was loaded
// from or saved to (empty for an unsaved list); modified tells whether it changed since, so that
// shut-down can offer to save it. Entries are in playing order.
struct TPlayList {
    std::string fileName;
    bool modified = false;
    std::vector<TPlayListNode> entries;
};

inline constexpr const char* kPlaylistFilter = "ZbL files (ZbL.*)|*.ZbL";
inline constexpr const char* kPlaylistDefaultExt = "ZbL";
inline constexpr const char* kDemoListName = "DemoList";
inline constexpr const char* kDemoPlaylistName = "Demo.ZbL";

// Removes every entry; fileName and modified are left as they are.
void disposePlaylist(TPlayList& list);

// A copy with its own entries (fileName, modified and every entry with its flag).
TPlayList copyPlaylist(const TPlayList& list);

// True when path is a file (not a directory) that can be opened for reading.
bool canOpenFile(const std::string& path);

// The entries of a ZbL file: every line that names an existing file, in file order. Lines end in
// LF or CR LF; empty lines, lines naming nothing that exists, lines holding a NUL byte and lines
// longer than any path are skipped without notice. Relative paths are taken against the working
// directory, except that a bare name (no "/") is looked up in bareNameDirectory when that is not
// empty. Any bytes are accepted; the names are kept exactly as written.
std::vector<std::string> readPlaylistFile(const std::string& path,
                                          const std::string& bareNameDirectory = {});

// Writes one line per entry, ended by CR LF, replacing the file atomically. An entry whose name
// holds a line feed cannot be stored in a line-based file and is left out, so that it cannot
// turn into other entries when read back. False when the file could not be written.
bool writePlaylistFile(const TPlayList& list, const std::string& path);

// Appends the entries of the ZbL file at path and clears modified. When the file cannot be
// opened, nothing changes and the result is false. fileName is the caller's to set. The caller
// rebuilds its track display after a true result.
bool loadPlayList(TPlayList& list, const std::string& path);

// Puts the MIDI and WAV files among the command-line arguments at the head of the list, in
// argument order, in front of the entries already there. The extension decides the kind; a bare
// name is taken from the MIDI resp. sample directory; other arguments and files that do not exist
// are skipped. Sets modified when anything was inserted; returns the number inserted.
std::size_t insertPassedFiles(TPlayList& list, const std::vector<std::string>& args,
                              const std::string& midiDirectory, const std::string& sampleDirectory);

// Appends every dropped file with the extension ".mid" or ".wav" (any case), without looking
// whether it exists. Sets modified and returns true when anything was appended.
bool addDroppedFiles(TPlayList& list, const std::vector<std::string>& files);

// The demonstration list of the first start: "DemoList" in demoDirectory (the playlist directory
// unless the program is installed), read only when the MIDI directory exists. When it yields
// entries the list is marked modified and named "Demo.ZbL" in the playlist directory, so that
// leaving the program offers to save it there; when it yields nothing, modified and fileName are
// cleared. Returns whether entries were added.
bool loadDemoPlaylist(TPlayList& list, const std::string& playlistDirectory,
                      const std::string& midiDirectory, const std::string& demoDirectory);

// Asks for a file name with the save dialog (the list's fileName proposed, starting in the
// playlist directory) and writes the list there. On confirmation fileName becomes the chosen
// path; a file that cannot be written is reported through the shell and leaves the list
// modified. True when the list was written; false also when the user cancelled.
bool savePlaylist(TPlayList& list, const std::string& playlistDirectory, Shell& shell);

} // namespace zb::app
