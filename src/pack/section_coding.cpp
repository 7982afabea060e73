#include "pack/section_coding.h"

namespace wordperm {

std::vector<std::uint8_t> encode_section(const SectionEncoder& code) {
    MemoryStream memory;
    RangeEncoder encoder;
    encoder_init(encoder);
    code(encoder, memory.stream());
    encoder_flush(encoder, memory.stream());
    return memory.take_written();
}

SectionDecoder::SectionDecoder(std::span<const std::uint8_t> section)
    : memory(section), stream(memory.stream()) {
    decoder_init(decoder, stream);
}

}  // namespace wordperm
