#pragma once

#include "synth/synth.h"

#include <cstddef>
#include <memory>

namespace zb::cli {

// Sets the C library's allocator up for compiling and rendering, through the parameters mallopt(3)
// documents: requests up to 4 x reserve (at most 1 GiB) come from the heap rather than from
// mappings of their own, the heap grows in steps of 16 MB and keeps what is freed up to that
// size, and the threads of render --jobs share one arena. A song of a million notes then
// compiles without mapping and unmapping its large arrays again and again. Does nothing under
// other allocators (the sanitizers') or C libraries.
void prepareHeap(std::size_t reserve = std::size_t{256} << 20);

// The renderer's output buffers in a mapping of their own that is offered to the kernel for
// transparent huge pages (madvise(2), MADV_HUGEPAGE): touching the megabyte the engine writes
// again and again then costs one page fault instead of some 260. Ordinary memory where the system
// offers no such mapping.
class THugeOutputBuffers final {
public:
    THugeOutputBuffers();
    THugeOutputBuffers(const THugeOutputBuffers&) = delete;
    THugeOutputBuffers& operator=(const THugeOutputBuffers&) = delete;
    ~THugeOutputBuffers();

    synth::TOutputBuffers& buffers() { return *buffers_; }

private:
    void* mapping_ = nullptr;
    std::size_t length_ = 0;
    synth::TOutputBuffers* buffers_ = nullptr;
    std::unique_ptr<synth::TOutputBuffers> fallback_;
};

} // namespace zb::cli
