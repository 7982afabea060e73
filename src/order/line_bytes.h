// Reading lines a word at a time, for the sorts that put lines into byte order: big-endian words
// (so that comparing them as numbers compares the bytes in order), cleared after a line feed, and
// the length of two lines' common start. Every read may run up to 7 bytes past a line's line
// feed, which the word table's tail keeps inside its buffer; a bare last line reads as if it
// ended with a line feed.
#pragma once

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>

namespace wordperm {

// The high bit of every byte of `word` that is a line feed, and no other bit. The sum stays
// inside each byte, so no carry makes up a line feed where there is none.
template <typename Word>
inline Word line_feed_bits(Word word) {
    constexpr auto kLow7 = static_cast<Word>(0x7F7F7F7F7F7F7F7Full);
    const Word x = word ^ static_cast<Word>(0x0A0A0A0A0A0A0A0Aull);
    return static_cast<Word>(~(((x & kLow7) + kLow7) | x | kLow7));
}

template <typename Word>
inline Word load_big_endian(const std::uint8_t* bytes) {
    Word word;
    std::memcpy(&word, bytes, sizeof word);
    if constexpr (std::endian::native == std::endian::little) {
        if constexpr (sizeof word == 8)
            word = __builtin_bswap64(word);
        else
            word = __builtin_bswap32(word);
    }
    return word;
}

// The bytes at `bytes` as a key, first byte highest, and zero after a line feed among them.
template <typename Word>
inline Word key_at(const std::uint8_t* bytes) {
    constexpr int kBits = 8 * sizeof(Word);
    const auto word = load_big_endian<Word>(bytes);
    // The lowest byte's high bit stands in when there is no line feed: nothing is cleared then.
    const int kept = std::countl_zero(static_cast<Word>(line_feed_bits(word) | 0x80u)) + 8;
    return kept == kBits ? word : static_cast<Word>(word & ~(static_cast<Word>(~Word{0}) >> kept));
}

// True when the key holds a line feed: the line ends inside it.
template <typename Word>
inline bool key_ends_line(Word key) {
    return line_feed_bits(key) != 0;
}

// The bytes at `bytes` as a key of the order in which a line comes before every longer line that
// begins with it: the end of the line is 0, below every byte, and the bytes below 10 move up one
// to make room (a line holds no 10, so no two bytes meet). First byte highest; zero from the end
// of the line on.
template <typename Word>
inline Word prefix_first_key_at(const std::uint8_t* bytes) {
    constexpr auto kLow7 = static_cast<Word>(0x7F7F7F7F7F7F7F7Full);
    constexpr auto kHigh = static_cast<Word>(0x8080808080808080ull);
    const auto word = load_big_endian<Word>(bytes);
    // A byte's high bit is clear in the sum exactly when its low 7 bits are below 10.
    const auto below_ten = static_cast<Word>(
        ~(((word & kLow7) + static_cast<Word>(0x7676767676767676ull)) | word) & kHigh);
    const auto key = static_cast<Word>(word + (below_ten >> 7));
    const Word line_feeds = line_feed_bits(word);
    if (line_feeds == 0) return key;
    const int kept = std::countl_zero(line_feeds);  // the bits of the bytes before the first one
    return kept == 0 ? Word{0} : static_cast<Word>(key & ~(static_cast<Word>(~Word{0}) >> kept));
}

// True when a prefix-first key holds the end of its line.
template <typename Word>
inline bool prefix_first_key_ends_line(Word key) {
    constexpr auto kLow7 = static_cast<Word>(0x7F7F7F7F7F7F7F7Full);
    return static_cast<Word>(~(((key & kLow7) + kLow7) | key | kLow7)) != 0;
}

// How many bytes from a and b on the two lines share, stopping at the first difference or right
// after a line feed common to both (`equal` is then set), or at `limit`.
inline std::uint64_t common_bytes(const std::uint8_t* a, const std::uint8_t* b, std::uint64_t limit,
                                  bool& equal) {
    equal = false;
    for (std::uint64_t done = 0; done < limit; done += 8) {
        const auto word_a = load_big_endian<std::uint64_t>(a + done);
        const auto word_b = load_big_endian<std::uint64_t>(b + done);
        const std::uint64_t differ = word_a ^ word_b;
        const std::uint64_t stop = differ | line_feed_bits(word_a);
        if (stop == 0) continue;
        const auto at = static_cast<std::uint64_t>(std::countl_zero(stop)) / 8;
        const bool differs = (differ >> (56 - 8 * at) & 0xFF) != 0;
        equal = !differs;
        return std::min(limit, done + at + (differs ? 0 : 1));
    }
    return limit;
}

// -1, 0 or 1 as the line at a sorts before, with or after the line at b, by bytes.
inline int compare_line_bytes(const std::uint8_t* a, const std::uint8_t* b) {
    bool equal;
    const std::uint64_t same = common_bytes(a, b, UINT64_MAX, equal);
    if (equal) return 0;
    return a[same] < b[same] ? -1 : 1;
}

}  // namespace wordperm
