#include "app/options.h"

namespace zb::app {

TDrumTable defaultDrumTable() {
    return {{kDrumTrackHeader, kDrumChannelHeader}, {"ALL", "10"}};
}

compiler::TDrumGrid drumGridForCompile(const TDrumTable& table) {
    compiler::TDrumGrid grid;
    for (std::size_t row = 1; row < table.size(); ++row) {
        auto cell = [](const std::string& text) {
            return text == "ALL" ? std::string("-1") : text;
        };
        grid.push_back({cell(table[row][0]), cell(table[row][1])});
    }
    return grid;
}

} // namespace zb::app
