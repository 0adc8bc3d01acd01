// The player's instruments from a SoundFont: the import in the background and its handover.
#include "app/main_form.h"
#include "app/paths.h"

#include <filesystem>

namespace zb::app {

void TmainForm::chooseInstruments(const std::string& fontPath) {
    // A new choice replaces one still running; the old import is cancelled and cleans up.
    instrumentImport.reset();
    instrumentImport = std::make_unique<TInstrumentImport>(fontPath, instrumentSetFolder(fontPath));
    setStatus("Importing instruments from " + extractFileName(fontPath) + "...");
}

void TmainForm::cancelInstrumentImport() {
    if (instrumentImport)
        instrumentImport->cancel();
}

void TmainForm::instrumentImportTick() {
    if (!instrumentImport || !instrumentImport->finished())
        return;
    const auto import = std::move(instrumentImport);
    const std::string font = extractFileName(import->fontPath());
    if (!import->error().empty()) {
        setStatus(import->error() == "cancelled"
                      ? "Import of " + font + " cancelled; the instruments stay as they were."
                      : "Can't import " + font + ": " + import->error());
        view.repaint();
        return;
    }
    options.patchDirectory = import->setFolder() + "PRG";
    options.sampleDirectory = import->setFolder() + "WAV";
    setStatus("Instruments: " + font + " (from the next song on)");
    view.repaint();
}

} // namespace zb::app
