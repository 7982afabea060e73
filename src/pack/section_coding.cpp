#include "pack/section_coding.h"

#include <new>

#include "driver/run_loop.h"
#include "io/byte_io.h"

namespace wordperm {
namespace {

class VectorWriter final : public ByteWriter {
  public:
    explicit VectorWriter(std::vector<std::uint8_t>& bytes)
        : ByteWriter("section"), bytes_(bytes) {}
    bool write(const std::uint8_t* bytes, std::size_t size) override {
        try {
            bytes_.insert(bytes_.end(), bytes, bytes + size);
        } catch (const std::bad_alloc&) {
            return false;
        }
        return true;
    }
    std::string error() const override { return "out of memory"; }

  private:
    std::vector<std::uint8_t>& bytes_;
};

struct EncodeCall {
    const SectionEncoder* code;
    RunState* run;
    bool out_of_memory = false;
};

// An exception must not leave the body's own stack: it is caught here and thrown again once
// the run loop has returned.
void encode_body(void* argument) {
    auto* call = static_cast<EncodeCall*>(argument);
    try {
        RangeEncoder encoder;
        encoder_init(encoder);
        (*call->code)(encoder, call->run->stream);
        encoder_flush(encoder, call->run->stream);
    } catch (const std::bad_alloc&) {
        call->out_of_memory = true;
    }
}

}  // namespace

std::vector<std::uint8_t> encode_section(const SectionEncoder& code) {
    std::vector<std::uint8_t> bytes;
    auto run = std::make_unique<RunState>();
    VectorWriter writer(bytes);
    EncodeCall call{&code, run.get()};
    bool ran = false;
    try {
        ran = run_loop(*run, encode_body, &call, nullptr, writer);
    } catch (const std::bad_alloc&) {
        ran = false;
    }
    if (!ran || call.out_of_memory) throw std::bad_alloc();
    return bytes;
}

SectionDecoder::SectionDecoder(std::span<const std::uint8_t> section) {
    stream.in_ptr = section.data();
    stream.in_end = section.data() + section.size();
    stream.eof = 1;
    decoder_init(decoder, stream);
}

}  // namespace wordperm
