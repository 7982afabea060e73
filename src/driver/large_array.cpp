// Huge-page backing for large arrays: a private anonymous mapping with MADV_HUGEPAGE.
#include "driver/large_array.h"

#include <sys/mman.h>

#include <cstdlib>
#include <new>

namespace wordperm {
namespace {

// Below this an array is not worth a mapping of its own.
constexpr std::size_t kMappedFromBytes = std::size_t{4} << 20;
constexpr std::size_t kHugePageBytes = std::size_t{2} << 20;

}  // namespace

void* allocate_large(std::size_t bytes, LargeArrayRelease& release) {
    if (bytes < kMappedFromBytes) {
        void* memory = std::malloc(bytes == 0 ? 1 : bytes);
        if (!memory) throw std::bad_alloc();
        release.mapped_bytes = 0;
        return memory;
    }
    const std::size_t mapped = (bytes + kHugePageBytes - 1) / kHugePageBytes * kHugePageBytes;
    void* memory = ::mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS,
                          -1, 0);
    if (memory == MAP_FAILED) throw std::bad_alloc();
#if defined(MADV_HUGEPAGE)
    ::madvise(memory, mapped, MADV_HUGEPAGE);  // a hint: without it the array still works
#endif
    release.mapped_bytes = mapped;
    return memory;
}

void LargeArrayRelease::operator()(void* array) const {
    if (mapped_bytes != 0)
        ::munmap(array, mapped_bytes);
    else
        std::free(array);
}

}  // namespace wordperm
