// Placeholder until the dialogs exist.
#include "app/qt/dialogs.h"

namespace zb::ui {

void runPlaylistDialog(QWidget*, app::TmainForm&, app::Shell&) {}
void runOptionsDialog(QWidget*, app::TmainForm&, app::Shell&, synth::AudioOutput&) {}

} // namespace zb::ui
