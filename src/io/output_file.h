// An output file that changes nothing under its name until the whole run has succeeded.
//
// A regular file (or a name not yet taken) is written to a new temporary file in the directory
// of its final name and renamed over that name by commit_outputs, after every output of the run
// is complete and on the disk: until then the final name keeps its old content, or stays free.
// Symbolic links are followed first, so a link keeps pointing where it did and its target is
// replaced. The temporary file is "<final name>.<program>-unfinished-XXXXXX", created with
// O_EXCL and mode 0600, so that no other user can read it while it is written whatever the
// final name's mode, and listed for removal on SIGINT, SIGTERM and SIGHUP (temporary_files.h);
// after SIGKILL or a power cut it is left under that name, and the final name holds its old
// content or nothing. Just before the renames it gets its final permission bits: the replaced
// file's (and its owner and group where the process may set them), or those of a new file under
// the umask.
//
// An output whose directory takes no new file is refused at the open, naming the directory,
// before anything is written: the old file is never rewritten in place, where a failure or an
// interrupt would lose it. An existing regular file that may not be written is refused too, as
// it would be if it were opened for writing, even though its directory would let it be replaced.
//
// Two kinds of output are written where they are, and never renamed or removed:
// - a name for one of the process's own descriptors (/dev/stdin, /dev/stdout, /dev/stderr,
//   /dev/fd/N, /proc/self/fd/N) is written through a duplicate of that descriptor, as the shell
//   set it up: ">>" keeps appending. A standard stream the program was started without is
//   refused (standard_streams.h);
// - an existing file that is not regular (a pipe, a terminal, a device) is opened and written.
//
// A program's use, start to end: prepare_standard_streams and install_interrupt_cleanup first
// (standard_streams.h, temporary_files.h); open each output with OutputFile::open, compare its
// previous() identity with the inputs' (file_identity.h) and refuse a collision; write through
// it as a ByteWriter; on success call commit_outputs once with every output, in the order
// readers should see them replaced; on failure call discard(), or let the OutputFile go.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "io/byte_io.h"
#include "io/file_identity.h"

namespace wordperm {

class OutputFile final : public ByteWriter {
  public:
    enum class Method {
        replace,  // a temporary file beside the final name, renamed over it by commit_outputs
        direct,   // a descriptor of the process, or an existing file that is not regular
    };

    // Opens the output named `path` (see above); `program` names its temporary file. Returns
    // null, with the reason in `reason` (errno's text, or which directory takes no new file) and
    // no file changed, when it cannot.
    static std::unique_ptr<OutputFile> open(const std::string& path, const char* program,
                                            std::string& reason);
    // An output written through a duplicate of `descriptor` (standard output for a "-", say),
    // named `name` in messages. Refused for a descriptor not open for writing, or a standard
    // stream the program was started without.
    static std::unique_ptr<OutputFile> open_descriptor(int descriptor, std::string name,
                                                       std::string& reason);

    ~OutputFile() override;  // discards the output unless commit_outputs made it final
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    bool write(const std::uint8_t* bytes, std::size_t size) override;
    std::string error() const override;
    // errno's value of the latest failure (EPIPE tells a reader that has gone away).
    int error_number() const { return error_number_; }

    Method method() const { return method_; }
    // The file under the final name when the output was opened, or the file a direct output
    // writes; nothing for a name that was free. Compare it with standard output.
    const std::optional<FileIdentity>& previous() const { return previous_; }

    // After a failure: removes the temporary file and closes. Changes nothing else; calling it
    // again does nothing.
    void discard();

  private:
    struct Owner {
        uid_t user;
        gid_t group;
    };

    OutputFile(std::string name, Method method, int descriptor);
    bool finish();
    bool publish();
    friend bool commit_outputs(std::span<OutputFile* const> outputs, OutputFile*& failed);

    Method method_;
    int descriptor_;                        // -1 once closed
    int error_number_ = 0;                  // errno of the latest failure
    std::optional<FileIdentity> previous_;  // see previous()
    std::string final_path_;      // replace: the name the output ends under, links followed
    std::string temporary_path_;  // replace: where the output is written until the commit
    int temporary_slot_ = -1;     // replace: its slot in the interrupt clean-up's list, or -1
    mode_t final_mode_ = 0;       // replace: the permission bits the file gets before its rename
    std::optional<Owner> previous_owner_;  // replace: the replaced file's owner and group
    bool committed_ = false;               // commit_outputs made the output final
};

// Ends a successful run: writes every output to the disk with its final mode and closes it, then
// renames each replaced output over its final name, in the order given, one right after the
// other, holding an exclusive lock on each one's directory (directory_locks.h), so that no other
// run renames or opens a file there in between, and with SIGINT, SIGTERM and SIGHUP held, so
// that no interrupt falls between two renames. Returns false with `failed` set to the output
// concerned (see its error()) when a flush or a close fails, having renamed nothing, or when a
// rename fails, the outputs before it being already in place.
bool commit_outputs(std::span<OutputFile* const> outputs, OutputFile*& failed);

}  // namespace wordperm
