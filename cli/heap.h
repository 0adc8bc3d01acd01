#pragma once

#include <cstddef>

namespace zb::cli {

// Prepares the C library's heap for a batch of renders: every allocation comes from one heap
// that grows in large steps and keeps what is freed, and that heap is offered to the kernel for
// huge pages where it takes them. A render touches a few megabytes of fresh memory (sample data,
// the output buffers), and on virtual machines a page fault costs microseconds: with 2 MB pages
// a render takes a handful of faults instead of hundreds. Does nothing under other allocators
// (the sanitizers') or C libraries. reserve: how far the heap grows at once.
void prepareHeapForRenders(std::size_t reserve = std::size_t{32} << 20);

} // namespace zb::cli
