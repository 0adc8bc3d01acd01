#include "compiler/prg_loader.h"

#include "instruments/file_lookup.h"
#include "instruments/path_join.h"
#include "instruments/prg_file.h"

#include <memory>
#include <optional>

namespace zb::compiler {

std::string prgFileName(const std::string& prgDir, int program, bool isDrum) {
    std::string name = isDrum ? "D" : "";
    name += std::to_string(program);
    name += ".PRG";
    return instruments::joinPath(prgDir, name);
}

void loadPrg(TCompileState& state, int slot, int program, bool isDrum, bool defaultTo0) {
    const std::string name = prgFileName(state.prgDir, program, isDrum);
    state.errorType.prgFileName = name;
    state.errorType.lineNumber = 0;

    std::optional<std::string> path = instruments::findFileIgnoringCase(name);
    if (!path && defaultTo0) {
        const std::string fallback = prgFileName(state.prgDir, 0, isDrum);
        if (fallback != name)
            path = instruments::findFileIgnoringCase(fallback);
    }
    if (!path) {
        state.setError(instruments::prgNotFound);
        return;
    }

    auto table = std::make_shared<instruments::prgEntryRec>();
    const auto result = instruments::loadPrgFile(*path, *table);
    state.errorType.lineNumber = result.lineNumber;
    if (result.errorCode != instruments::prgOk) {
        state.setError(result.errorCode);
        return;
    }
    TChannelSlot& s = state.slot(slot);
    s.table = std::move(table);
    s.slotLoaded = true;
}

void programChange(TCompileState& state, int slot, std::uint8_t program) {
    TChannelSlot& s = state.slot(slot);
    if (s.slotProgram == program && s.slotLoaded)
        return;
    s.table.reset();
    s.slotLoaded = false;
    for (const auto& other : state.slotState) {
        if (other.slotLoaded && other.slotProgram == program && other.slotIsDrum == s.slotIsDrum) {
            s.table = other.table;
            s.slotLoaded = true;
            break;
        }
    }
    s.slotProgram = program;
}

} // namespace zb::compiler
