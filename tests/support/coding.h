// Encoding and decoding in memory, through the real run loop and bodies, for tests.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <string_view>

#include "driver/run_loop.h"
#include "driver/startup.h"
#include "perm/permutation_decoder.h"
#include "perm/permutation_encoder.h"
#include "support/memory_io.h"

namespace wordperm::testing {

struct Encoded {
    std::string sorted;
    std::string code;
    std::string console;  // what the encoder printed on standard output
};

// Encodes `words` with an output buffer of `out_block_bytes`.
inline Encoded encode(std::string_view words, std::size_t out_block_bytes = kBufferBytes) {
    auto ctx = std::make_unique<CoderContext>();
    MemoryReader list(words);
    Failure failure;
    EXPECT_TRUE(prepare_context(*ctx, list, Mode::encode, failure));
    MemoryWriter sorted_sink;
    MemoryWriter code;
    BlockWriter sorted_list(sorted_sink);
    ctx->sorted_list_file = &sorted_list;
    ::testing::internal::CaptureStdout();
    bool ran = run_coder(*ctx, permutation_encoder, nullptr, code, kBufferBytes, out_block_bytes);
    std::string console = ::testing::internal::GetCapturedStdout();
    EXPECT_TRUE(ran) << ctx->run.failure.reason;
    return {sorted_sink.contents, code.contents, console};
}

struct Decoded {
    ExitStatus status;
    std::string restored;
    std::size_t code_reads;  // read calls made on the code file
};

// Decodes `code` against `sorted`, handing the decoder `in_block_bytes` of code per read and
// draining its output every `out_block_bytes`.
inline Decoded decode(std::string_view sorted, std::string_view code,
                      std::size_t in_block_bytes = kBufferBytes,
                      std::size_t out_block_bytes = kBufferBytes) {
    auto ctx = std::make_unique<CoderContext>();
    MemoryReader list(sorted);
    Failure failure;
    EXPECT_TRUE(prepare_context(*ctx, list, Mode::decode, failure));
    MemoryReader code_file(code, in_block_bytes);
    MemoryWriter restored;
    bool ran =
        run_coder(*ctx, permutation_decoder, &code_file, restored, in_block_bytes, out_block_bytes);
    return {ran ? ExitStatus::success : ctx->run.failure.status, restored.contents,
            code_file.read_calls};
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
