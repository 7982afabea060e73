// Encoding and decoding in memory through the real start-up, run loop and coder bodies, for the
// tests and the fuzz targets.
//
// Nothing here judges a result: each run reports its status and outputs, and the caller decides
// what is a fault. What the encoder prints on standard output goes wherever standard output goes.
#pragma once

#include <cassert>
#include <cstddef>
#include <cstdint>
#include <new>
#include <string>
#include <string_view>

#include "driver/run_loop.h"
#include "perm/permutation_decoder.h"
#include "perm/permutation_encoder.h"
#include "support/memory_io.h"
#include "wordperm/run.h"

namespace wordperm::testing {

// How the files are handed to the run: block sizes below the defaults make the body suspend and
// resume at many more bytes, and an unsized list makes the word table grow as it reads.
struct Blocks {
    std::size_t list_read_bytes = SIZE_MAX;  // most bytes one read of the list file returns
    bool list_sized = true;                  // whether the list's length is known in advance
    std::size_t in_bytes = kBufferBytes;     // code file bytes per read (decode)
    std::size_t out_bytes = kBufferBytes;    // output buffer bytes per drain, 1 to kBufferBytes
};

// A newly constructed CoderContext, as the program makes one per run, in storage kept from run
// to run: the context is larger than the sanitizer allocator's biggest size class, so a heap
// allocation per run would map, zero and unmap fresh pages each time and cost most of the
// fuzzer's speed. One context exists at a time.
class FreshContext {
  public:
    FreshContext() {
        assert(!in_use_);
        in_use_ = true;
        context_ = new (storage_) CoderContext();
    }
    ~FreshContext() {
        context_->~CoderContext();
        in_use_ = false;
    }
    FreshContext(const FreshContext&) = delete;
    FreshContext& operator=(const FreshContext&) = delete;
    CoderContext& context() { return *context_; }

  private:
    alignas(CoderContext) static inline std::byte storage_[sizeof(CoderContext)];
    static inline bool in_use_ = false;
    CoderContext* context_;
};

struct Encoded {
    ExitStatus status = ExitStatus::success;
    std::string sorted;
    std::string code;
    std::string console;  // what the encoder printed on standard output, where a caller kept it
};

struct Decoded {
    ExitStatus status = ExitStatus::success;
    std::string restored;
    std::size_t code_reads = 0;  // read calls made on the code file
};

// Runs `body` on a fresh context made from `list`, as the program does; returns the status the
// run ended with.
inline ExitStatus run_in_memory(std::string_view list, Mode mode, CoderBody body, ByteReader* input,
                                ByteWriter& output, const Blocks& blocks,
                                BlockWriter* sorted_list = nullptr) {
    FreshContext fresh;
    CoderContext& ctx = fresh.context();
    MemoryReader list_file(list, blocks.list_read_bytes, blocks.list_sized);
    LoadFailure failure;
    if (!prepare_context(ctx, list_file, mode, failure))
        return load_failure(failure, list_file).status;
    ctx.sorted_list_file = sorted_list;
    if (!run_coder(ctx, body, input, output, blocks.in_bytes, blocks.out_bytes))
        return run_failure(ctx, "list", "code").status;
    return ExitStatus::success;
}

inline Encoded encode_in_memory(std::string_view words, const Blocks& blocks = {}) {
    MemoryWriter sorted_sink;
    MemoryWriter code;
    BlockWriter sorted_list(sorted_sink);
    Encoded encoded;
    encoded.status = run_in_memory(words, Mode::encode, permutation_encoder, nullptr, code, blocks,
                                   &sorted_list);
    encoded.sorted = std::move(sorted_sink.contents);
    encoded.code = std::move(code.contents);
    return encoded;
}

inline Decoded decode_in_memory(std::string_view sorted, std::string_view code,
                                const Blocks& blocks = {}) {
    MemoryReader code_file(code, blocks.in_bytes);
    MemoryWriter restored;
    Decoded decoded;
    decoded.status =
        run_in_memory(sorted, Mode::decode, permutation_decoder, &code_file, restored, blocks);
    decoded.restored = std::move(restored.contents);
    decoded.code_reads = code_file.read_calls;
    return decoded;
}

}  // namespace wordperm::testing
