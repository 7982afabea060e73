// Huge-page backing for large arrays: a private anonymous mapping with MADV_HUGEPAGE.
#include "base/large_array.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

namespace wordperm {
namespace {

// Below this an array is not worth a mapping of its own.
constexpr std::size_t kMappedFromBytes = std::size_t{4} << 20;
constexpr std::size_t kHugePageBytes = std::size_t{2} << 20;
// Zeroed arrays from this size are mapped, so that their untouched pages cost nothing.
constexpr std::size_t kZeroedMappedFromBytes = std::size_t{64} << 10;

}  // namespace

void* allocate_large(std::size_t bytes, LargeArrayRelease& release) {
    if (bytes < kMappedFromBytes) {
        void* memory = std::malloc(bytes == 0 ? 1 : bytes);
        if (!memory) throw std::bad_alloc();
        release.mapped_bytes = 0;
        return memory;
    }
    // Huge pages fill only whole 2 MiB-aligned stretches of a mapping, so the mapping starts on
    // such a boundary; its tail, short of a whole huge page, keeps small pages, so that no
    // partly used huge page adds to the memory the run holds.
    const std::size_t page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
    const std::size_t mapped = (bytes + page - 1) / page * page;
    void* reserved = ::mmap(nullptr, mapped + kHugePageBytes, PROT_READ | PROT_WRITE,
                            MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (reserved == MAP_FAILED) throw std::bad_alloc();
    auto* start = static_cast<std::byte*>(reserved);
    const std::uintptr_t misalignment = reinterpret_cast<std::uintptr_t>(start) % kHugePageBytes;
    const std::size_t head = misalignment == 0 ? 0 : kHugePageBytes - misalignment;
    if (head != 0) ::munmap(start, head);
    ::munmap(start + head + mapped, kHugePageBytes - head);
#if defined(MADV_HUGEPAGE)
    ::madvise(start + head, mapped, MADV_HUGEPAGE);  // a hint: without it the array still works
#endif
    release.mapped_bytes = mapped;
    return start + head;
}

void* allocate_zeroed(std::size_t bytes, LargeArrayRelease& release) {
    // Below a few pages the ordinary allocator's zeroed memory serves, cache-line aligned.
    if (bytes < kZeroedMappedFromBytes) {
        void* memory = std::aligned_alloc(64, (bytes + 63) / 64 * 64 + 64);
        if (!memory) throw std::bad_alloc();
        std::memset(memory, 0, (bytes + 63) / 64 * 64 + 64);
        release.mapped_bytes = 0;
        return memory;
    }
    const std::size_t page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
    const std::size_t mapped = (bytes + page - 1) / page * page;
    void* memory =
        ::mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (memory == MAP_FAILED) throw std::bad_alloc();
#if defined(MADV_NOHUGEPAGE)
    // A huge page would bring 2 MiB in for one touched entry.
    ::madvise(memory, mapped, MADV_NOHUGEPAGE);
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
