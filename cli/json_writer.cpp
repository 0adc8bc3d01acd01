#include "cli/json_writer.h"

#include <cmath>
#include <cstdio>

namespace zb::cli {

TJsonWriter& TJsonWriter::integer(std::int64_t v) {
    return raw(std::to_string(v));
}

TJsonWriter& TJsonWriter::real(Real v) {
    if (std::isnan(v))
        return raw("NaN");
    if (std::isinf(v))
        return raw(v < 0 ? "-Infinity" : "Infinity");
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.21Lg", v);
    std::string_view s(buffer);
    raw(s);
    // Keep reals recognisable as reals to readers that distinguish them from integers.
    if (s.find_first_of(".eE") == std::string_view::npos)
        raw(".0");
    return *this;
}

TJsonWriter& TJsonWriter::string(std::string_view s) {
    text.push_back('"');
    for (const char c : s) {
        switch (c) {
        case '"':
            text.append("\\\"");
            break;
        case '\\':
            text.append("\\\\");
            break;
        case '\n':
            text.append("\\n");
            break;
        case '\r':
            text.append("\\r");
            break;
        case '\t':
            text.append("\\t");
            break;
        default:
            // Names are bytes of no known encoding; bytes outside ASCII are written as the
            // Latin-1 characters of the same number so that the output is always valid JSON.
            if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) >= 0x80) {
                char buffer[8];
                std::snprintf(buffer, sizeof buffer, "\\u%04x", static_cast<unsigned char>(c));
                text.append(buffer);
            } else {
                text.push_back(c);
            }
        }
    }
    text.push_back('"');
    return *this;
}

} // namespace zb::cli
