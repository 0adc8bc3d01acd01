// Reads a fuzzed file as each of the settings files, writes the settings back and reads them
// again: whatever the input, the written file must read back to the same values.
#include "app/settings.h"
#include "fuzz_file.h"

#include <filesystem>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    using namespace zb::app;
    const std::string path = zb::fuzz::inputFile(data, size, ".INI");
    TSettings settings;
    readSiblingSettings(path, settings.options);
    readSettings(path, settings);
    TDrumTable drums = defaultDrumTable();
    readDrumsFile(path, drums);
    readDialogPosition(path, "OptionsTop", "OptionsLeft");

    const std::string copy = path + ".out";
    if (writeSettings(copy, settings)) {
        TSettings again;
        readSettings(copy, again);
        if (again.options.midiDirectory != settings.options.midiDirectory ||
            again.playControl.volume != settings.playControl.volume)
            __builtin_trap();
    }
    if (writeDrumsFile(copy, drums)) {
        TDrumTable again = defaultDrumTable();
        readDrumsFile(copy, again);
        if (again != drums)
            __builtin_trap();
    }
    std::error_code ec;
    std::filesystem::remove(copy, ec);
    return 0;
}
