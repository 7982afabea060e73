// Block input and output with every error seen: the readers and writers behind the files.
//
// The run loop and the word table reach files only through ByteReader and ByteWriter, so tests
// can hand them memory, deliver input one byte at a time, or watch each write. A reader tells an
// error apart from the end of the input; a writer reports a short or failed write. Each carries
// the file's name as given on the command line and errno's text of its latest failure, for the
// one-line message the program ends with. Files are opened for reading here, and for writing in
// output_file.h.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "io/file_identity.h"

namespace wordperm {

class ByteReader {
  public:
    explicit ByteReader(std::string name) : name_(std::move(name)) {}
    virtual ~ByteReader() = default;
    const std::string& name() const { return name_; }
    // Reads up to `size` bytes into `buffer`: returns how many, 0 at the end of the input, or
    // -1 on an error (see error()).
    virtual std::ptrdiff_t read(std::uint8_t* buffer, std::size_t size) = 0;
    // The input's length when it can be known in advance (a regular file), else nothing.
    virtual std::optional<std::uint64_t> known_size() const { return std::nullopt; }
    // Moves past `size` bytes without handing them over; false on an error or at the end.
    virtual bool skip(std::uint64_t size);
    // Reads up to `size` bytes at `offset` from the start, leaving the position as it is, where
    // the input allows it (a regular file, memory): the count, or -1 where it does not or on an
    // error.
    virtual std::ptrdiff_t read_at(std::uint64_t, std::uint8_t*, std::size_t) { return -1; }
    virtual std::string error() const = 0;

  private:
    std::string name_;
};

class ByteWriter {
  public:
    explicit ByteWriter(std::string name) : name_(std::move(name)) {}
    virtual ~ByteWriter() = default;
    const std::string& name() const { return name_; }
    // Writes all `size` bytes or returns false (see error()).
    virtual bool write(const std::uint8_t* bytes, std::size_t size) = 0;
    virtual std::string error() const = 0;

  private:
    std::string name_;
};

// A file opened by path for reading. Owns its descriptor; errors keep errno's text.
class InputFile final : public ByteReader {
  public:
    // Opens `path`; null with the reason in `reason` (errno's text) when it cannot. A directory
    // is refused at once rather than read (EISDIR), and so is a name for a standard stream the
    // program was started without (standard_streams.h), which would otherwise read as empty.
    static std::unique_ptr<InputFile> open(const std::string& path, std::string& reason);

    InputFile(int descriptor, std::string name)
        : ByteReader(std::move(name)), descriptor_(descriptor) {}
    ~InputFile() override;
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    std::ptrdiff_t read(std::uint8_t* buffer, std::size_t size) override;
    std::optional<std::uint64_t> known_size() const override;
    bool skip(std::uint64_t size) override;
    std::ptrdiff_t read_at(std::uint64_t offset, std::uint8_t* buffer, std::size_t size) override;
    std::string error() const override;
    std::optional<FileIdentity> identity() const { return identity_of_descriptor(descriptor_); }

  private:
    int descriptor_;
    int error_number_ = 0;
};

// Gathers small writes (a line at a time) into large blocks for a ByteWriter.
class BlockWriter {
  public:
    static constexpr std::size_t kBlockBytes = std::size_t{1} << 18;

    explicit BlockWriter(ByteWriter& sink);
    // Appends bytes; false once a block write has failed.
    bool append(const std::uint8_t* bytes, std::size_t size) {
        if (size <= static_cast<std::size_t>(limit_ - next_)) [[likely]] {
            for (std::size_t i = 0; i < size; ++i)
                next_[i] = bytes[i];
            next_ += size;
            return true;
        }
        return append_beyond_block(bytes, size);
    }
    // Writes what is gathered; false on failure.
    bool flush();
    ByteWriter& sink() { return sink_; }

  private:
    bool append_beyond_block(const std::uint8_t* bytes, std::size_t size);

    ByteWriter& sink_;
    std::unique_ptr<std::uint8_t[]> block_;
    std::uint8_t* next_;
    std::uint8_t* limit_;
};

}  // namespace wordperm
