// Seeded random word files of the kinds that break coders: duplicates, empty lines, every byte
// value, CR LF, tabs, long lines, with and without a final line feed.
#pragma once

#include <cstdint>
#include <random>
#include <string>

namespace wordperm::testing {

struct WordFileShape {
    std::uint32_t lines = 100;
    std::uint32_t alphabet = 26;   // letters from 'a'; 256 means every byte but the line feed
    std::uint32_t max_length = 8;  // per line, before the line feed
    std::uint32_t distinct = 0;    // if non-zero, lines are drawn from this many words
    bool final_line_feed = true;
};

inline std::string random_word(std::mt19937_64& random, const WordFileShape& shape) {
    std::uint32_t length = static_cast<std::uint32_t>(random() % (shape.max_length + 1));
    std::string word;
    for (std::uint32_t k = 0; k < length; ++k) {
        unsigned byte = shape.alphabet >= 256
                            ? static_cast<unsigned>(random() % 255)
                            : 'a' + static_cast<unsigned>(random() % shape.alphabet);
        if (shape.alphabet >= 256 && byte >= '\n') ++byte;  // every value but the line feed
        word += static_cast<char>(byte);
    }
    return word;
}

inline std::string random_word_file(std::uint64_t seed, const WordFileShape& shape) {
    std::mt19937_64 random(seed);
    std::vector<std::string> pool;
    for (std::uint32_t i = 0; i < shape.distinct; ++i)
        pool.push_back(random_word(random, shape));
    std::string file;
    for (std::uint32_t i = 0; i < shape.lines; ++i) {
        file += pool.empty() ? random_word(random, shape) : pool[random() % pool.size()];
        file += '\n';
    }
    if (!shape.final_line_feed && !file.empty()) file.pop_back();
    return file;
}

}  // namespace wordperm::testing
