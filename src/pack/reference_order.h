// Reference orders of a set's lines, which the order models code the list's order against and
// which the unpacker recomputes from the set alone.
//
// byte: the set's own order. dictionary: `LC_ALL=C sort -d`: only letters, digits, blanks count.
// dictionary_folded: the same with lower case folded to upper (`sort -df`). accents_folded:
// letters, digits and bytes above 127 count, letters in lower case, and the Latin-1 letters
// of UTF-8 (U+00C0 to U+00FF) and the ligatures oe and OE as their base letters, which is how
// a locale's collation orders most dictionaries of Western languages at its first level. Lines
// whose kept keys are equal keep byte order, as sort's last-resort comparison does. Each has a
// reversed twin.
#pragma once

#include <cstdint>
#include <vector>

#include "pack/line_set.h"

namespace wordperm {

enum class ReferenceOrder : std::uint8_t {
    byte = 0,
    dictionary = 1,
    dictionary_folded = 2,
    accents_folded = 3,
};
inline constexpr std::uint8_t kReferenceOrders = 4;

// rank[k]: the position of distinct line k in the order (reversed when asked). With
// `two_threads`, a large set's two halves are sorted side by side. Throws std::bad_alloc.
std::vector<std::uint32_t> reference_ranks(const LineSet& set, ReferenceOrder order, bool reversed,
                                           bool two_threads = false);

}  // namespace wordperm
