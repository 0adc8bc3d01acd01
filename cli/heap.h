#pragma once

#include <cstddef>

namespace zb::cli {

// Prepares the C library's heap for compiling and rendering: every allocation comes from one heap
// that grows in large steps and keeps what is freed, and the first reserve bytes of it are
// offered to the kernel for huge pages where it takes them. A render touches a few megabytes of
// fresh memory (sample data, the output buffers), a song of a million notes compiles in a few
// hundred, and on virtual machines a page fault costs microseconds: with 2 MB pages that is a
// handful of faults instead of hundreds or tens of thousands. Only address space is reserved;
// memory is taken as it is touched. Does nothing under other allocators (the sanitizers') or C
// libraries.
void prepareHeap(std::size_t reserve = std::size_t{256} << 20);

} // namespace zb::cli
