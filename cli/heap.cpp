#include "cli/heap.h"

#include <algorithm>
#include <cstdint>
#include <new>

#if defined(__GLIBC__)
#include <malloc.h>
#endif
#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace zb::cli {

void prepareHeap(std::size_t reserve) {
#if defined(__GLIBC__)
    const auto limit = static_cast<int>(std::min<std::size_t>(reserve * 4, std::size_t{1} << 30));
    // mallopt answers 0 where another allocator stands in for the C library's.
    if (mallopt(M_MMAP_THRESHOLD, limit) == 0)
        return;
    mallopt(M_TRIM_THRESHOLD, limit);
    mallopt(M_TOP_PAD, 16 << 20);
    mallopt(M_ARENA_MAX, 1);
#else
    (void)reserve;
#endif
}

THugeOutputBuffers::THugeOutputBuffers() {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    // A whole number of 2 MB pages, mapped with room to align the buffers to the first of them.
    constexpr std::size_t kHugePage = std::size_t{2} << 20;
    const std::size_t used =
        (sizeof(synth::TOutputBuffers) + kHugePage - 1) / kHugePage * kHugePage;
    length_ = used + kHugePage;
    void* map = mmap(nullptr, length_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (map != MAP_FAILED) {
        mapping_ = map;
        const auto start =
            (reinterpret_cast<std::uintptr_t>(map) + kHugePage - 1) & ~(kHugePage - 1);
        void* aligned = reinterpret_cast<void*>(start);
        madvise(aligned, used, MADV_HUGEPAGE); // advice only: a refusal leaves small pages
        buffers_ = new (aligned) synth::TOutputBuffers;
        return;
    }
#endif
    fallback_ = std::make_unique<synth::TOutputBuffers>();
    buffers_ = fallback_.get();
}

THugeOutputBuffers::~THugeOutputBuffers() {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    if (mapping_ != nullptr)
        munmap(mapping_, length_);
#endif
}

} // namespace zb::cli
