// The tests' encode: the in-memory run, with what the encoder prints on standard output kept
// apart from the test's own report, and a failed run failing the test; and codes shown in hex.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "support/in_memory.h"

namespace wordperm::testing {

inline Encoded encode(std::string_view words, const Blocks& blocks = {}) {
    ::testing::internal::CaptureStdout();
    Encoded encoded = encode_in_memory(words, blocks);
    encoded.console = ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(encoded.status, ExitStatus::success);
    return encoded;
}

inline std::string hex(std::string_view bytes) {
    static const char digits[] = "0123456789ABCDEF";
    std::string text;
    for (char byte : bytes) {
        auto c = static_cast<unsigned char>(byte);
        if (!text.empty()) text += ' ';
        text += digits[c >> 4];
        text += digits[c & 15];
    }
    return text;
}

}  // namespace wordperm::testing
