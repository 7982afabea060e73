// Arrays of many megabytes (the list file, its line starts, the sort's and the coder's arrays),
// backed by transparent huge pages where the system offers them.
//
// Filling fresh memory faults once per 4 KiB page, and on some machines (virtual ones above all)
// a fault costs microseconds: for the arrays of a ten-million-line list that is a large share of
// the run. Asking for 2 MiB pages cuts the faults 512-fold. Small arrays come from the ordinary
// allocator. Contents start unset, as with make_unique_for_overwrite.
#pragma once

#include <cstddef>
#include <memory>
#include <type_traits>

namespace wordperm {

struct LargeArrayRelease {
    std::size_t mapped_bytes = 0;  // 0 for an array from the ordinary allocator
    void operator()(void* array) const;
};

template <typename T>
using LargeArray = std::unique_ptr<T[], LargeArrayRelease>;

// Memory of at least `bytes`; throws std::bad_alloc when there is none.
void* allocate_large(std::size_t bytes, LargeArrayRelease& release);

template <typename T>
LargeArray<T> array_from(void* (*allocate)(std::size_t, LargeArrayRelease&), std::size_t count) {
    static_assert(std::is_trivially_default_constructible_v<T> &&
                  std::is_trivially_destructible_v<T>);
    LargeArrayRelease release;
    void* memory = allocate(count * sizeof(T), release);
    return LargeArray<T>(static_cast<T*>(memory), release);
}

template <typename T>
LargeArray<T> make_large_array(std::size_t count) {
    return array_from<T>(allocate_large, count);
}

// Zero-filled memory of at least `bytes`, aligned to 64 bytes, whose pages the system provides
// only as they are first touched, a small page at a time: a table of which a run reaches only
// a corner costs only that corner. Throws std::bad_alloc when there is none.
void* allocate_zeroed(std::size_t bytes, LargeArrayRelease& release);

template <typename T>
LargeArray<T> make_zeroed_array(std::size_t count) {
    return array_from<T>(allocate_zeroed, count);
}

}  // namespace wordperm
