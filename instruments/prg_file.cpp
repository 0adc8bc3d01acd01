#include "instruments/prg_file.h"

#include <filesystem>
#include <fstream>
#include <ios>
#include <limits>
#include <system_error>

namespace zb::instruments {

namespace {

constexpr char kCarriageReturn = '\r';
constexpr char kLineFeed = '\n';
constexpr char kEndOfFile = '\x1a'; // Ctrl-Z, the old DOS end-of-text mark

// Cuts text arriving in pieces into patch lines. A CR LF pair may be split between two pieces,
// so whether the last character seen was a CR is carried over.
class TLineSplitter {
public:
    explicit TLineSplitter(const std::function<bool(std::string_view)>& onLine) : onLine_(onLine) {}

    // Feeds the next piece of text; false once no more text is wanted (Ctrl-Z seen or onLine
    // asked to stop).
    bool feed(std::string_view piece) {
        for (const char c : piece) {
            if (afterCarriageReturn_) {
                afterCarriageReturn_ = false;
                if (c == kLineFeed)
                    continue;
            }
            if (c == kEndOfFile) {
                finish();
                return false;
            }
            if (c == kCarriageReturn) {
                afterCarriageReturn_ = true;
                if (!onLine_(line_))
                    return false;
                line_.clear();
                continue;
            }
            line_.push_back(c);
        }
        return true;
    }

    // The end of the text (or a Ctrl-Z) ends an unfinished line. Nothing after a final line end
    // makes no further, empty line.
    void finish() {
        if (!line_.empty())
            onLine_(line_);
        line_.clear();
    }

private:
    const std::function<bool(std::string_view)>& onLine_;
    std::string line_;
    bool afterCarriageReturn_ = false;
};

} // namespace

void forEachPrgLine(std::istream& in, const std::function<bool(std::string_view)>& onLine) {
    // Read in pieces, so only the current line is ever held whole, however large the file.
    constexpr std::size_t kPieceSize = std::size_t{64} * 1024;
    std::string piece(kPieceSize, '\0');
    TLineSplitter splitter(onLine);
    for (;;) {
        in.read(piece.data(), static_cast<std::streamsize>(piece.size()));
        if (in.bad())
            throw std::ios_base::failure("error reading patch file");
        const auto got = static_cast<std::size_t>(in.gcount());
        if (!splitter.feed(std::string_view(piece).substr(0, got)))
            return;
        if (got < piece.size())
            break;
    }
    splitter.finish();
}

TPrgFileResult loadPrgFile(const std::string& path, prgEntryRec& table) {
    // A directory can be opened for reading here but not read; it is no patch file either way.
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec))
        return {prgNotFound, 0};
    std::ifstream in(path, std::ios::binary);
    if (!in.is_open())
        return {prgNotFound, 0};

    table.clear();
    TPrgFileResult result;
    std::int32_t lineNumber = 0;
    forEachPrgLine(in, [&](std::string_view line) {
        // Saturating keeps an absurdly long file of empty lines from overflowing the count.
        if (lineNumber < std::numeric_limits<std::int32_t>::max())
            ++lineNumber;
        const TPrgError error = parsePrgLine(table, line);
        if (error == prgOk)
            return true;
        result = {error, lineNumber};
        return false;
    });
    return result;
}

} // namespace zb::instruments
