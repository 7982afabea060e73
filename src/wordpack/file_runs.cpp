// One file at a time: open the input, then the output (so that a refused output costs no work),
// read, pack or unpack in memory, write, commit.
#include "wordpack/file_runs.h"

#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "io/byte_io.h"
#include "io/file_identity.h"
#include "io/output_file.h"
#include "io/path_names.h"
#include "io/read_whole.h"
#include "io/standard_streams.h"
#include "pack/pack.h"
#include "wordpack/listing.h"
#include "wordpack/progress.h"

namespace wordperm {
namespace {

constexpr const char* kStandardInput = "(stdin)";
constexpr const char* kStandardOutput = "(stdout)";
// An archive is at most its list plus a little; anything larger is not one of ours.
constexpr std::uint64_t kArchiveLimitBytes = kPackLimitBytes + (std::uint64_t{1} << 28);

PackFailure failure_of(PackExit status, std::string file, std::string reason) {
    return {status, std::move(file), std::move(reason)};
}

// The input, opened: standard input through a duplicate of descriptor 0, so that closing it
// leaves descriptor 0 alone.
std::unique_ptr<InputFile> open_input(const PackCommand& command, const std::string& name,
                                      PackFailure& failure) {
    if (name == "-") {
        if (started_closed(0)) {
            failure = failure_of(PackExit::unopened, kStandardInput, closed_stream_reason(0));
            return nullptr;
        }
        if (command.operation != Operation::pack && !command.force && ::isatty(0) == 1) {
            failure = failure_of(PackExit::usage, kStandardInput,
                                 "archives are not read from a terminal (use -f to force)");
            return nullptr;
        }
        const int descriptor = ::dup(0);
        if (descriptor < 0) {
            failure = failure_of(PackExit::unopened, kStandardInput, std::strerror(errno));
            return nullptr;
        }
        return std::make_unique<InputFile>(descriptor, kStandardInput);
    }
    std::string reason;
    std::unique_ptr<InputFile> input = InputFile::open(name, reason);
    if (!input) failure = failure_of(PackExit::unopened, name, reason);
    return input;
}

// The output's name for `input`: "-" for standard output. Empty, with `failure` set, for an
// input whose output name cannot be derived.
std::string output_name(const PackCommand& command, const std::string& input,
                        PackFailure& failure) {
    if (command.output) return *command.output;
    if (command.to_stdout || input == "-") return "-";
    if (command.operation == Operation::pack) {
        if (input.ends_with(kArchiveSuffix) && !command.force) {
            failure =
                failure_of(PackExit::usage, input,
                           "already has the .wpk suffix; not packed again (use -f, -c or -o)");
            return {};
        }
        return input + kArchiveSuffix;
    }
    if (!input.ends_with(kArchiveSuffix) || input.size() == std::strlen(kArchiveSuffix)) {
        failure = failure_of(PackExit::usage, input, "no .wpk suffix to remove (use -c or -o)");
        return {};
    }
    return input.substr(0, input.size() - std::strlen(kArchiveSuffix));
}

// True when `name` leads, perhaps through symbolic links, to one of the process's descriptors
// (/dev/stdout, /dev/fd/N): a stream the shell set up, written as it is, like -c.
bool names_a_descriptor(const std::string& name) {
    std::string followed = name;
    int descriptor = -1;
    int error_number = 0;
    return follow_links(followed, descriptor, error_number) && descriptor >= 0;
}

std::unique_ptr<OutputFile> open_output(const PackCommand& command, const std::string& name,
                                        const InputFile& input, PackFailure& failure) {
    std::unique_ptr<OutputFile> output;
    std::string reason;
    if (name == "-") {
        if (command.operation == Operation::pack && !command.force && ::isatty(1) == 1) {
            failure = failure_of(PackExit::usage, kStandardOutput,
                                 "archives are not written to a terminal (use -f to force)");
            return nullptr;
        }
        output = OutputFile::open_descriptor(1, kStandardOutput, reason);
        if (!output) failure = failure_of(PackExit::unopened, kStandardOutput, reason);
    } else {
        // Only a regular file is ever replaced: writing into a FIFO or a device would hang or
        // leave part of an output there.
        const std::optional<FileIdentity> existing =
            names_a_descriptor(name) ? std::nullopt : identity_of_path(name.c_str());
        if (existing && !command.force) {
            failure = failure_of(PackExit::unopened, name, "already exists (use -f to replace it)");
            return nullptr;
        }
        if (existing && !existing->regular()) {
            failure = failure_of(PackExit::unopened, name,
                                 "is not a regular file, and only a regular file is replaced");
            return nullptr;
        }
        output = OutputFile::open(name, "wordpack", reason);
        if (!output) failure = failure_of(PackExit::unopened, name, reason);
    }
    if (output && output->previous() && output->previous()->regular() &&
        same_file(output->previous(), input.identity())) {
        failure = failure_of(PackExit::unopened, output->name(), "is the input file itself");
        return nullptr;
    }
    return output;
}

PackFailure read_failure(ReadWhole result, const InputFile& input, const char* too_large) {
    if (result == ReadWhole::too_large)
        return failure_of(PackExit::unopened, input.name(), too_large);
    return failure_of(PackExit::unopened, input.name(), input.error());
}

PackFailure unpack_failure(UnpackStatus status, const std::string& file) {
    switch (status) {
        case UnpackStatus::not_an_archive:
            return failure_of(PackExit::damaged, file, "not a wordpack archive");
        case UnpackStatus::unsupported:
            return failure_of(PackExit::damaged, file,
                              "archive of a format or stage this wordpack does not know");
        case UnpackStatus::too_large:
            return failure_of(PackExit::damaged, file,
                              "holds a list too large to unpack (2 GiB or more)");
        case UnpackStatus::out_of_memory:
            return failure_of(PackExit::out_of_memory, file, "out of memory");
        case UnpackStatus::damaged:
        case UnpackStatus::ok:
            break;
    }
    return failure_of(PackExit::damaged, file, "damaged or truncated archive");
}

// Writes `bytes` as the whole of `output` and makes it final. A reader of standard output that
// has gone away ends the run quietly (standard_streams.h).
bool write_output(OutputFile& output, const std::vector<std::uint8_t>& bytes,
                  PackFailure& failure) {
    OutputFile* outputs[] = {&output};
    OutputFile* failed = nullptr;
    if (output.write(bytes.data(), bytes.size()) && commit_outputs(outputs, failed)) return true;
    if (output.method() == OutputFile::Method::direct && output.error_number() == EPIPE)
        end_by_broken_pipe();
    failure = failure_of(PackExit::write_failed, output.name(), output.error());
    output.discard();
    return false;
}

double seconds_since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

class FileRun {
  public:
    FileRun(const PackCommand& command, Listing& listing) : command_(command), listing_(listing) {}

    // Does the command's operation on `name`; false with `failure` set when it fails.
    bool run(const std::string& name, PackFailure& failure) {
        start_ = std::chrono::steady_clock::now();
        std::unique_ptr<InputFile> input = open_input(command_, name, failure);
        if (!input) return false;
        if (command_.operation == Operation::test || command_.operation == Operation::list)
            return inspect(*input, failure);
        const std::string out_name = output_name(command_, name, failure);
        if (out_name.empty()) return false;
        std::unique_ptr<OutputFile> output = open_output(command_, out_name, *input, failure);
        if (!output) return false;
        return command_.operation == Operation::pack ? pack_into(*input, *output, failure)
                                                     : unpack_into(*input, *output, failure);
    }

  private:
    bool show_progress() const {
        return command_.verbosity == 2 || (command_.verbosity == 1 && ::isatty(2) == 1);
    }

    bool pack_into(InputFile& input, OutputFile& output, PackFailure& failure) {
        std::vector<std::uint8_t> list;
        const ReadWhole read = read_whole(input, list, kPackLimitBytes - 1);
        if (read != ReadWhole::ok) {
            failure = read_failure(read, input, "too large to pack (2 GiB or more)");
            return false;
        }
        std::vector<std::uint8_t> archive;
        Progress progress(input.name(), "packing", show_progress());
        const PackStatus status = pack(list, archive);
        progress.stop();
        if (status != PackStatus::ok) {
            failure = status == PackStatus::out_of_memory
                          ? failure_of(PackExit::out_of_memory, input.name(), "out of memory")
                          : failure_of(PackExit::unopened, input.name(),
                                       "too large to pack (2 GiB or more)");
            return false;
        }
        if (!write_output(output, archive, failure)) return false;
        if (command_.verbosity == 2) {
            const double ratio = list.empty() ? 0.0
                                              : 100.0 * static_cast<double>(archive.size()) /
                                                    static_cast<double>(list.size());
            std::fprintf(stderr, "wordpack: %s: %zu -> %zu bytes (%.2f%%) in %.1f s\n",
                         input.name().c_str(), list.size(), archive.size(), ratio,
                         seconds_since(start_));
        }
        return true;
    }

    // Reads and unpacks the archive of `input` into `list`.
    bool unpack_whole(InputFile& input, std::vector<std::uint8_t>& archive,
                      std::vector<std::uint8_t>& list, PackFailure& failure) {
        const ReadWhole read = read_whole(input, archive, kArchiveLimitBytes);
        if (read == ReadWhole::too_large) {
            failure = unpack_failure(UnpackStatus::damaged, input.name());
            return false;
        }
        if (read != ReadWhole::ok) {
            failure = read_failure(read, input, "");
            return false;
        }
        Progress progress(input.name(), "unpacking", show_progress());
        const UnpackStatus status = unpack(archive, list);
        progress.stop();
        if (status == UnpackStatus::ok) return true;
        failure = unpack_failure(status, input.name());
        return false;
    }

    bool unpack_into(InputFile& input, OutputFile& output, PackFailure& failure) {
        std::vector<std::uint8_t> archive;
        std::vector<std::uint8_t> list;
        if (!unpack_whole(input, archive, list, failure)) return false;
        if (!write_output(output, list, failure)) return false;
        if (command_.verbosity == 2)
            std::fprintf(stderr, "wordpack: %s: %zu bytes unpacked in %.1f s\n",
                         input.name().c_str(), list.size(), seconds_since(start_));
        return true;
    }

    // -t unpacks and checks; -l reads the header of a checksum-intact archive.
    bool inspect(InputFile& input, PackFailure& failure) {
        std::vector<std::uint8_t> archive;
        std::vector<std::uint8_t> list;
        if (command_.operation == Operation::test) {
            if (!unpack_whole(input, archive, list, failure)) return false;
            if (command_.verbosity == 2)
                std::fprintf(stderr, "wordpack: %s: OK\n", input.name().c_str());
            return true;
        }
        const ReadWhole read = read_whole(input, archive, kArchiveLimitBytes);
        if (read != ReadWhole::ok) {
            failure = read == ReadWhole::too_large
                          ? unpack_failure(UnpackStatus::damaged, input.name())
                          : read_failure(read, input, "");
            return false;
        }
        ArchiveInfo info;
        const UnpackStatus status = describe(archive, info);
        if (status != UnpackStatus::ok) {
            failure = unpack_failure(status, input.name());
            return false;
        }
        listing_.add(input.name(), info);
        return true;
    }

    const PackCommand& command_;
    Listing& listing_;
    std::chrono::steady_clock::time_point start_;
};

}  // namespace

void report_pack_failure(const PackFailure& failure) {
    std::fprintf(stderr, "wordpack: %s: %s\n", failure.file.c_str(), failure.reason.c_str());
}

PackExit run_files(const PackCommand& command) {
    Listing listing(command.verbosity == 2);
    FileRun file_run(command, listing);
    PackExit status = PackExit::success;
    for (const std::string& name : command.files) {
        PackFailure failure;
        bool done;
        try {
            done = file_run.run(name, failure);
        } catch (const std::bad_alloc&) {
            failure = failure_of(PackExit::out_of_memory, name == "-" ? kStandardInput : name,
                                 "out of memory");
            done = false;
        }
        if (!done) {
            report_pack_failure(failure);
            if (status == PackExit::success) status = failure.status;
        }
    }
    if (command.operation == Operation::list) listing.finish();
    return status;
}

}  // namespace wordperm
