#include "cli/heap.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

#if defined(__GLIBC__) && defined(__linux__)
#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace zb::cli {

void prepareHeap(std::size_t reserve) {
#if defined(__GLIBC__) && defined(__linux__) && defined(MADV_HUGEPAGE)
    constexpr std::uintptr_t kHugePage = std::uintptr_t{2} << 20;
    const auto limit = static_cast<int>(std::min<std::size_t>(reserve * 4, std::size_t{1} << 30));
    // mallopt answers 0 where another allocator stands in for the C library's.
    if (mallopt(M_MMAP_THRESHOLD, limit) == 0)
        return;
    mallopt(M_TRIM_THRESHOLD, limit);
    mallopt(M_ARENA_MAX, 1); // threads (render --jobs) share the one prepared heap
    // Grows the heap once by the reserve (a request larger than the free top of a fresh heap
    // grows it by the request), then hands the aligned whole huge pages of what it grew by to the
    // kernel's huge-page advice. The heap keeps the memory after the free.
    const auto before = reinterpret_cast<std::uintptr_t>(sbrk(0));
    // malloc writes a header at the end of the chunk, before the advice: that page stays a
    // small one, so it lies at the far end, away from the memory taken first.
    void* probe = std::malloc(reserve);
    const auto after = reinterpret_cast<std::uintptr_t>(sbrk(0));
    std::free(probe);
    const std::uintptr_t first = (before + kHugePage - 1) & ~(kHugePage - 1);
    const std::uintptr_t last = after & ~(kHugePage - 1);
    if (probe != nullptr && last > first)
        madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
    mallopt(M_TOP_PAD, 16 << 20); // beyond the reserve, still in large steps
#else
    (void)reserve;
#endif
}

} // namespace zb::cli
