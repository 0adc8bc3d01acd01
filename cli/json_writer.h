#pragma once

#include "instruments/config.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace zb::cli {

// Appends JSON values to a string. Only what the dump needs: numbers, strings, booleans, and the
// punctuation written by the caller.
class TJsonWriter final {
public:
    std::string text;

    TJsonWriter& raw(std::string_view s) {
        text.append(s);
        return *this;
    }
    TJsonWriter& integer(std::int64_t v);
    // 21 significant digits: enough to carry a long double exactly.
    TJsonWriter& real(Real v);
    TJsonWriter& boolean(bool v) { return raw(v ? "true" : "false"); }
    TJsonWriter& string(std::string_view s);
    // "name": followed by nothing; the caller writes the value.
    TJsonWriter& key(std::string_view name) {
        string(name);
        return raw(": ");
    }
};

} // namespace zb::cli
