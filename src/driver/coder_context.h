// The one record of a run: streams and coroutine, coder state, word table and permutation.
//
// The driver owns the only CoderContext of the process and fills it before the body starts;
// the bodies work on it. Every piece inside is a record of its own that the functions of its
// subsystem take by reference, so each can be built and tested alone.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "driver/byte_io.h"
#include "driver/exit_status.h"
#include "driver/large_array.h"
#include "driver/stream.h"
#include "driver/word_table.h"
#include "rangecoder/range_decoder.h"
#include "rangecoder/range_encoder.h"

namespace wordperm {

inline constexpr std::size_t kBufferBytes = 65536;

struct CoderContext {
    Stream stream;         // the body's input and output buffers, and its coroutine
    RangeEncoder encoder;  // encode mode's coder state
    RangeDecoder decoder;  // decode mode's coder state
    WordTable table;       // the list file: the word file (encode) or the sorted list (decode)
    // Encode mode: perm[j] is the input index of the line at sorted position j, once sorted;
    // inverse[i] holds the sorted position, then the rank, of input line i (2N entries in all).
    // Decode mode: perm[i] holds the rank, then the sorted position, of output line i (N).
    LargeArray<std::uint32_t> permutation_storage;
    std::uint32_t* perm = nullptr;
    std::uint32_t* inverse = nullptr;
    BlockWriter* sorted_list_file = nullptr;  // encode mode: where the sorted list goes
    Failure failure;  // set by whatever fails first; a failing body then returns
    std::uint8_t in_buffer[kBufferBytes];   // the latest block read from the code file
    std::uint8_t out_buffer[kBufferBytes];  // bytes of the body's output not yet written
};

}  // namespace wordperm
