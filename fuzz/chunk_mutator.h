#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

extern "C" std::size_t LLVMFuzzerMutate(std::uint8_t* data, std::size_t size, std::size_t maxSize);

// Mutations that keep a chunked file's sizes consistent (RIFF with its LIST chunks, or the
// chunks of a MIDI file), so that most mutated inputs pass a reader's layout check and reach
// the code behind it: the tables of a SoundFont, the events of a track. One input in eight is
// mutated as plain bytes, so broken sizes are still tried.
namespace zb::fuzz {

struct TChunkNode {
    std::string tag;                // four characters
    std::string listType;           // RIFF and LIST: the form or list type
    std::vector<std::uint8_t> body; // a leaf's bytes
    std::vector<TChunkNode> children;
    bool isList() const { return !listType.empty(); }
};

class TChunkFile final {
public:
    // bigEndian: MIDI's sizes; else RIFF's, with RIFF and LIST holding chunks.
    explicit TChunkFile(bool bigEndian) : bigEndian_(bigEndian) {}

    bool parse(const std::uint8_t* data, std::size_t size) {
        nodes_.clear();
        return parseInto(data, size, nodes_, 0);
    }

    std::vector<std::uint8_t> write() const {
        std::vector<std::uint8_t> out;
        for (const auto& n : nodes_)
            writeNode(n, out);
        return out;
    }

    // Every leaf, for picking one to mutate.
    std::vector<TChunkNode*> leaves() {
        std::vector<TChunkNode*> out;
        collect(nodes_, out);
        return out;
    }

private:
    std::uint32_t size32(const std::uint8_t* p) const {
        return bigEndian_ ? std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 |
                                std::uint32_t{p[2]} << 8 | p[3]
                          : std::uint32_t{p[3]} << 24 | std::uint32_t{p[2]} << 16 |
                                std::uint32_t{p[1]} << 8 | p[0];
    }

    bool parseInto(const std::uint8_t* data, std::size_t size, std::vector<TChunkNode>& out,
                   int depth) {
        std::size_t at = 0;
        while (at < size) {
            if (size - at < 8 || depth > 4)
                return false;
            TChunkNode node;
            node.tag.assign(reinterpret_cast<const char*>(data + at), 4);
            const std::uint32_t length = size32(data + at + 4);
            if (length > size - at - 8)
                return false;
            const std::uint8_t* body = data + at + 8;
            const bool list = !bigEndian_ && (node.tag == "RIFF" || node.tag == "LIST");
            if (list && length >= 4) {
                node.listType.assign(reinterpret_cast<const char*>(body), 4);
                if (!parseInto(body + 4, length - 4, node.children, depth + 1))
                    return false;
            } else {
                node.body.assign(body, body + length);
            }
            out.push_back(std::move(node));
            at += 8 + length + (bigEndian_ ? 0 : (length & 1U));
        }
        return true;
    }

    void writeNode(const TChunkNode& n, std::vector<std::uint8_t>& out) const {
        out.insert(out.end(), n.tag.begin(), n.tag.end());
        const std::size_t sizeAt = out.size();
        out.resize(out.size() + 4);
        const std::size_t begin = out.size();
        if (n.isList()) {
            out.insert(out.end(), n.listType.begin(), n.listType.end());
            for (const auto& c : n.children)
                writeNode(c, out);
        } else {
            out.insert(out.end(), n.body.begin(), n.body.end());
        }
        const auto length = static_cast<std::uint32_t>(out.size() - begin);
        for (int i = 0; i < 4; ++i)
            out[sizeAt + static_cast<std::size_t>(i)] =
                static_cast<std::uint8_t>(length >> (bigEndian_ ? 8 * (3 - i) : 8 * i));
        if (!bigEndian_ && (length & 1U))
            out.push_back(0);
    }

    static void collect(std::vector<TChunkNode>& nodes, std::vector<TChunkNode*>& out) {
        for (auto& n : nodes) {
            if (n.isList())
                collect(n.children, out);
            else
                out.push_back(&n);
        }
    }

    bool bigEndian_;
    std::vector<TChunkNode> nodes_;
};

// A LLVMFuzzerCustomMutator body: mutates one chunk's bytes (half the time keeping its size,
// which keeps a table a whole number of records) and writes the sizes anew.
inline std::size_t mutateChunks(std::uint8_t* data, std::size_t size, std::size_t maxSize,
                                unsigned seed, bool bigEndian) {
    std::minstd_rand random(seed);
    TChunkFile file(bigEndian);
    if (random() % 8 == 0 || !file.parse(data, size))
        return LLVMFuzzerMutate(data, size, maxSize);
    auto leaves = file.leaves();
    if (leaves.empty())
        return LLVMFuzzerMutate(data, size, maxSize);
    auto& body = leaves[random() % leaves.size()]->body;
    const std::size_t original = body.size();
    const bool keepSize = random() % 2 == 0;
    const std::size_t room = maxSize > size ? maxSize - size : 0;
    body.resize(original + (keepSize ? 0 : room) + 1);
    std::size_t length = LLVMFuzzerMutate(body.data(), original, body.size());
    if (keepSize)
        length = original;
    body.resize(length);
    const auto out = file.write();
    if (out.size() > maxSize)
        return LLVMFuzzerMutate(data, size, maxSize);
    std::memcpy(data, out.data(), out.size());
    return out.size();
}

} // namespace zb::fuzz
