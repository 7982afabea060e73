// The one record of a run: the run loop's state, coder state, word table and permutation.
//
// The driver owns the only CoderContext of the process and fills it before the body starts;
// the bodies work on it. Every piece inside is a record of its own that the functions of its
// subsystem take by reference, so each can be built and tested alone.
#pragma once

#include <cstddef>
#include <cstdint>

#include "base/large_array.h"
#include "driver/run_loop.h"
#include "io/byte_io.h"
#include "list/word_table.h"
#include "rangecoder/range_decoder.h"
#include "rangecoder/range_encoder.h"

namespace wordperm {

// What a run does: encode (sort the list and code its order) or decode (restore the order).
enum class Mode { encode, decode };

// Which check refused a decode's pair (RunError::refused), for the message that says so.
enum class Refusal {
    none,
    list_out_of_order,  // the sorted list is in no order the encoder writes
    code_misfit,        // a rank came out beyond the lines left
    code_too_long,      // the code file is longer than any code for the list
};

struct CoderContext {
    RunState run;          // the body's stream and buffers, and the run's first failure
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
    Refusal refusal = Refusal::none;          // decode mode: why the pair was refused, if it was
    std::uint64_t line_out_of_order = 0;      // list_out_of_order: a line below the one above it
};

using CoderBody = void (*)(CoderContext& ctx);

// Loads the word table from `list` and allocates the permutation arrays of the mode; false, with
// `failure` set, when it cannot.
bool prepare_context(CoderContext& ctx, ByteReader& list, Mode mode, LoadFailure& failure);

// Runs `body` on ctx through the run loop (see run_loop for the rest).
bool run_coder(CoderContext& ctx, CoderBody body, ByteReader* input, ByteWriter& output,
               std::size_t in_block_bytes = kBufferBytes,
               std::size_t out_block_bytes = kBufferBytes);

}  // namespace wordperm
