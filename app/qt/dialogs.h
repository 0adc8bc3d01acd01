#pragma once

#include "app/main_form.h"
#include "app/shell.h"
#include "synth/audio_output.h"

class QWidget;

namespace zb::ui {

// The playlist dialog on a copy of the player's list; on OK the copy replaces it. The MIDI
// directory follows the dialog's directory list either way.
void runPlaylistDialog(QWidget* parent, app::TmainForm& form, app::Shell& shell);

// The options dialog (and from it the drum, device and directory dialogs) on a copy of the
// player's settings; on OK the copy replaces them.
void runOptionsDialog(QWidget* parent, app::TmainForm& form, app::Shell& shell,
                      synth::AudioOutput& waveOut);

} // namespace zb::ui
