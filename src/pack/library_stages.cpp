// Each library's streaming interface is driven with an output window that never exceeds `limit`,
// so damaged or hostile input can make a decompressor neither write past it nor allocate beyond
// it.
#include "pack/library_stages.h"

#ifdef WORDPERM_LIBRARY_STAGES

#include <brotli/decode.h>
#include <bzlib.h>
#include <lzma.h>
#include <zlib.h>

#include <algorithm>
#include <bit>
#include <climits>
#include <memory>

namespace wordperm {
namespace {

// LZMA2 at preset 9 with the extreme flag, the setting of `xz -9e`, as a raw stream: the
// container would only repeat what the archive already says. The dictionary need not exceed the
// data (as xz itself trims it for small files): the encoder's match finder then takes a few
// times the data's size instead of 674 MiB, and the decoder's window no more than the data.
bool xz_filters(std::size_t data_bytes, lzma_options_lzma& options, lzma_filter (&filters)[2]) {
    if (lzma_lzma_preset(&options, 9 | LZMA_PRESET_EXTREME)) return false;
    options.dict_size = static_cast<std::uint32_t>(
        std::clamp<std::size_t>(data_bytes, LZMA_DICT_SIZE_MIN, options.dict_size));
    filters[0] = {LZMA_FILTER_LZMA2, &options};
    filters[1] = {LZMA_VLI_UNKNOWN, nullptr};
    return true;
}

// The output grows as the library asks for room, doubling up to `limit`, so that what is
// allocated follows what the data really expands to, not what a header claims.
class Output {
  public:
    Output(std::vector<std::uint8_t>& form, std::size_t limit, std::size_t packed_size)
        : form_(form), limit_(limit) {
        form_.resize(std::min(limit, std::max<std::size_t>(packed_size * 4, 1u << 16)));
    }
    std::uint8_t* next() { return form_.data() + produced; }
    std::size_t room() const { return form_.size() - produced; }
    // Makes room for more; false once `limit` bytes are held.
    bool grow() {
        if (form_.size() == limit_) return false;
        form_.resize(std::min(limit_, form_.size() * 2));
        return true;
    }
    void finish() {
        form_.resize(produced);
        form_.shrink_to_fit();
    }
    std::size_t produced = 0;

  private:
    std::vector<std::uint8_t>& form_;
    std::size_t limit_;
};

bool decompress_bzip2(std::span<const std::uint8_t> packed, std::size_t limit,
                      std::vector<std::uint8_t>& form) {
    bz_stream stream{};
    if (BZ2_bzDecompressInit(&stream, 0, 0) != BZ_OK) return false;
    Output out(form, limit, packed.size());
    stream.next_in = const_cast<char*>(reinterpret_cast<const char*>(packed.data()));
    stream.avail_in = static_cast<unsigned>(packed.size());
    bool whole = false;
    for (;;) {
        stream.next_out = reinterpret_cast<char*>(out.next());
        stream.avail_out = static_cast<unsigned>(out.room());
        const int status = BZ2_bzDecompress(&stream);
        out.produced = static_cast<std::size_t>(reinterpret_cast<std::uint8_t*>(stream.next_out) -
                                                form.data());
        if (status == BZ_STREAM_END) {
            whole = stream.avail_in == 0;
            break;
        }
        if (status != BZ_OK || (stream.avail_out != 0 && stream.avail_in == 0)) break;
        if (stream.avail_out == 0 && !out.grow()) break;
    }
    BZ2_bzDecompressEnd(&stream);
    out.finish();
    return whole;
}

bool decompress_xz(std::span<const std::uint8_t> packed, std::size_t limit,
                   std::vector<std::uint8_t>& form) {
    lzma_options_lzma options;
    lzma_filter filters[2];
    if (!xz_filters(limit, options, filters)) return false;
    lzma_stream stream = LZMA_STREAM_INIT;
    if (lzma_raw_decoder(&stream, filters) != LZMA_OK) return false;
    Output out(form, limit, packed.size());
    stream.next_in = packed.data();
    stream.avail_in = packed.size();
    bool whole = false;
    for (;;) {
        stream.next_out = out.next();
        stream.avail_out = out.room();
        const lzma_ret status = lzma_code(&stream, LZMA_FINISH);
        out.produced = static_cast<std::size_t>(stream.next_out - form.data());
        if (status == LZMA_STREAM_END) {
            whole = stream.avail_in == 0;
            break;
        }
        if ((status != LZMA_OK && status != LZMA_BUF_ERROR) || stream.avail_out != 0) break;
        if (!out.grow()) break;
    }
    lzma_end(&stream);
    out.finish();
    return whole;
}

bool decompress_brotli(std::span<const std::uint8_t> packed, std::size_t limit,
                       std::vector<std::uint8_t>& form) {
    std::unique_ptr<BrotliDecoderState, void (*)(BrotliDecoderState*)> state(
        BrotliDecoderCreateInstance(nullptr, nullptr, nullptr), BrotliDecoderDestroyInstance);
    if (!state) throw std::bad_alloc();
    Output out(form, limit, packed.size());
    std::size_t available_in = packed.size();
    const std::uint8_t* next_in = packed.data();
    bool whole = false;
    for (;;) {
        std::size_t available_out = out.room();
        std::uint8_t* next_out = out.next();
        const BrotliDecoderResult result = BrotliDecoderDecompressStream(
            state.get(), &available_in, &next_in, &available_out, &next_out, nullptr);
        out.produced = static_cast<std::size_t>(next_out - form.data());
        if (result == BROTLI_DECODER_RESULT_SUCCESS) {
            whole = available_in == 0;
            break;
        }
        if (result != BROTLI_DECODER_RESULT_NEEDS_MORE_OUTPUT || !out.grow()) break;
    }
    out.finish();
    return whole;
}

bool decompress_zlib(std::span<const std::uint8_t> packed, std::size_t limit,
                     std::vector<std::uint8_t>& form) {
    z_stream stream{};
    if (inflateInit(&stream) != Z_OK) return false;
    Output out(form, limit, packed.size());
    stream.next_in = const_cast<Bytef*>(packed.data());
    stream.avail_in = static_cast<uInt>(packed.size());
    bool whole = false;
    for (;;) {
        stream.next_out = out.next();
        stream.avail_out = static_cast<uInt>(out.room());
        const int status = inflate(&stream, Z_FINISH);
        out.produced = static_cast<std::size_t>(stream.next_out - form.data());
        if (status == Z_STREAM_END) {
            whole = stream.avail_in == 0;
            break;
        }
        if ((status != Z_OK && status != Z_BUF_ERROR) || stream.avail_out != 0) break;
        if (!out.grow()) break;
    }
    inflateEnd(&stream);
    out.finish();
    return whole;
}

}  // namespace

bool library_stages_built() {
    return true;
}

bool library_decompress(LibraryStage stage, std::span<const std::uint8_t> packed, std::size_t limit,
                        std::vector<std::uint8_t>& form) {
    // The libraries count in 32-bit units; the archive's limits keep both sizes far below.
    if (packed.size() > UINT_MAX || limit > UINT_MAX) return false;
    switch (stage) {
        case LibraryStage::bzip2:
            return decompress_bzip2(packed, limit, form);
        case LibraryStage::xz:
            return decompress_xz(packed, limit, form);
        case LibraryStage::brotli:
            return decompress_brotli(packed, limit, form);
        case LibraryStage::zlib:
            return decompress_zlib(packed, limit, form);
    }
    return false;
}

}  // namespace wordperm

#else  // a build without the libraries

namespace wordperm {

bool library_stages_built() {
    return false;
}

bool library_decompress(LibraryStage, std::span<const std::uint8_t>, std::size_t,
                        std::vector<std::uint8_t>&) {
    return false;
}

}  // namespace wordperm

#endif
