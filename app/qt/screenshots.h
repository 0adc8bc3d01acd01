#pragma once

#include <QString>

namespace zb::ui {

// The documentation's pictures: starts the player on the null audio output (with a shell that
// answers every box with No and reports errors on stderr), grabs the main window with an empty
// playlist and with the first MIDI file of the MIDI directory playing, then the playlist,
// options and drum dialogs and the help window, as PNG files in directory. A dialog that does
// not open is skipped with a note. Returns the process exit code.
int runScreenshots(const QString& directory);

} // namespace zb::ui
