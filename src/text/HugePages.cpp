#include "text/HugePages.h"

#include <cstdint>

#ifdef __linux__
#include <sys/mman.h>
#endif

namespace tallemo {

void adviseHugePages([[maybe_unused]] void* data, [[maybe_unused]] std::size_t size) {
#ifdef __linux__
    constexpr std::uintptr_t kHugePage = std::uintptr_t{2} * 1024 * 1024;
    const auto from = (reinterpret_cast<std::uintptr_t>(data) + kHugePage - 1) & ~(kHugePage - 1);
    const auto to = (reinterpret_cast<std::uintptr_t>(data) + size) & ~(kHugePage - 1);
    if (to > from)
        // NOLINTNEXTLINE(performance-no-int-to-ptr): the page-aligned start within the buffer
        (void)madvise(reinterpret_cast<void*>(from), to - from, MADV_HUGEPAGE);
#endif
}

} // namespace tallemo
