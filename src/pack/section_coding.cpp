#include "pack/section_coding.h"

namespace wordperm {

std::vector<std::uint8_t> encode_section(const SectionEncoder& code, CodeEnd end) {
    MemoryStream memory;
    RangeEncoder encoder;
    encoder_init(encoder);
    code(encoder, memory.stream());
    encoder_flush(encoder, memory.stream(), end);
    return memory.take_written();
}

SectionDecoder::SectionDecoder(std::span<const std::uint8_t> section)
    : section_bytes(section.size()), memory(section), stream(memory.stream()) {
    decoder_init(decoder, stream);
}

bool SectionDecoder::ends_exactly() const {
    return decoder_ends_code(decoder, memory.bytes_read(), section_bytes);
}

}  // namespace wordperm
