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

#include "base/run_both.h"
#include "io/byte_io.h"
#include "io/file_identity.h"
#include "io/output_file.h"
#include "io/output_place.h"
#include "io/path_names.h"
#include "io/standard_streams.h"
#include "pack/pack.h"
#include "wordpack/listing.h"
#include "wordpack/progress.h"

namespace wordperm {
namespace {

constexpr const char* kStandardInput = "(stdin)";
constexpr const char* kStandardOutput = "(stdout)";

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
    // Refused before anything is created, as a run that fails leaves every file as it was.
    const OutputPlace place =
        name == "-" ? OutputPlace{identity_of_descriptor(1), {}, {}} : output_place(name);
    if (replaces(place, input.identity())) {
        failure = failure_of(PackExit::unopened, name == "-" ? kStandardOutput : name,
                             "is the input file itself");
        return nullptr;
    }
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
    return output;
}

// In tenths of a MiB, a need rounded up and a limit down, so that a need over the limit never
// reads as equal to it.
std::string tenths_of_mebibytes(std::uint64_t tenths) {
    return std::to_string(tenths / 10) + "." + std::to_string(tenths % 10) + " MiB";
}

// The whole MiB and the rest apart: a hostile header's need is near 2^64.
std::string mebibytes_up(std::uint64_t bytes) {
    const std::uint64_t rest = bytes & ((1 << 20) - 1);
    return tenths_of_mebibytes((bytes >> 20) * 10 + ((rest * 10 + (1 << 20) - 1) >> 20));
}

std::string mebibytes_down(std::uint64_t bytes) {
    const std::uint64_t rest = bytes & ((1 << 20) - 1);
    return tenths_of_mebibytes((bytes >> 20) * 10 + ((rest * 10) >> 20));
}

PackFailure pack_failure(const PackResult& result, const ByteReader& input,
                         const ByteWriter& output, std::uint64_t limit) {
    switch (result.status) {
        case PackStatus::read_failed:
            return failure_of(PackExit::unopened, input.name(), input.error());
        case PackStatus::write_failed:
            return failure_of(PackExit::write_failed, output.name(), output.error());
        case PackStatus::memory_limit:
            return failure_of(PackExit::out_of_memory, input.name(),
                              "a block needs " + mebibytes_up(result.memory_needed) +
                                  ", more than the limit of " + mebibytes_down(limit) +
                                  " (use --memlimit, a smaller --block-size or a lower level)");
        case PackStatus::out_of_memory:
        case PackStatus::ok:
            break;
    }
    return failure_of(PackExit::out_of_memory, input.name(), "out of memory");
}

PackFailure unpack_failure(const UnpackResult& result, const ByteReader& input,
                           const ByteWriter* output, std::uint64_t limit) {
    switch (result.status) {
        case UnpackStatus::not_an_archive:
            return failure_of(PackExit::damaged, input.name(), "not a wordpack archive");
        case UnpackStatus::unsupported:
            return failure_of(PackExit::damaged, input.name(),
                              "archive of a format or stage this wordpack does not know");
        case UnpackStatus::read_failed:
            return failure_of(PackExit::unopened, input.name(), input.error());
        case UnpackStatus::write_failed:
            return failure_of(PackExit::write_failed, output->name(), output->error());
        case UnpackStatus::memory_limit:
            return failure_of(PackExit::out_of_memory, input.name(),
                              "a block needs " + mebibytes_up(result.memory_needed) +
                                  ", more than the limit of " + mebibytes_down(limit) +
                                  " (use --memlimit)");
        case UnpackStatus::out_of_memory:
            return failure_of(PackExit::out_of_memory, input.name(), "out of memory");
        case UnpackStatus::damaged:
        case UnpackStatus::ok:
            break;
    }
    return failure_of(PackExit::damaged, input.name(), "damaged or truncated archive");
}

// A reader of standard output that has gone away ends the run quietly (standard_streams.h).
void end_if_reader_gone(const OutputFile& output) {
    if (output.method() == OutputFile::Method::direct && output.error_number() == EPIPE)
        end_by_broken_pipe();
}

// Makes `output` final: its bytes are all written by now.
bool commit_output(OutputFile& output, PackFailure& failure) {
    OutputFile* outputs[] = {&output};
    OutputFile* failed = nullptr;
    if (commit_outputs(outputs, failed)) return true;
    end_if_reader_gone(output);
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
        if (command_.operation == Operation::test) return unpack_to(*input, nullptr, failure);
        if (command_.operation == Operation::list) return list(*input, failure);
        const std::string out_name = output_name(command_, name, failure);
        if (out_name.empty()) return false;
        std::unique_ptr<OutputFile> output = open_output(command_, out_name, *input, failure);
        if (!output) return false;
        return command_.operation == Operation::pack ? pack_into(*input, *output, failure)
                                                     : unpack_to(*input, output.get(), failure);
    }

  private:
    bool show_progress() const {
        return command_.verbosity == 2 || (command_.verbosity == 1 && ::isatty(2) == 1);
    }

    unsigned threads() const { return command_.threads != 0 ? command_.threads : usable_cpus(); }

    PackSettings pack_settings() const {
        PackSettings settings;
        if (command_.level != 0) settings.level = command_.level;
        if (command_.block_bytes != 0) settings.block_bytes = command_.block_bytes;
        settings.threads = threads();
        settings.memory_limit = command_.memory_limit.value_or(0);
        return settings;
    }

    UnpackSettings unpack_settings() const {
        UnpackSettings settings;
        settings.threads = threads();
        if (command_.memory_limit) settings.memory_limit = *command_.memory_limit;
        return settings;
    }

    bool pack_into(InputFile& input, OutputFile& output, PackFailure& failure) {
        const PackSettings settings = pack_settings();
        Progress progress(input.name(), "packing", show_progress());
        const PackResult result = pack_archive(input, output, settings);
        progress.stop();
        if (result.status != PackStatus::ok) {
            if (result.status == PackStatus::write_failed) end_if_reader_gone(output);
            failure = pack_failure(result, input, output, settings.memory_limit);
            return false;
        }
        if (!commit_output(output, failure)) return false;
        if (command_.verbosity == 2) {
            const double ratio = result.list_bytes == 0
                                     ? 0.0
                                     : 100.0 * static_cast<double>(result.archive_bytes) /
                                           static_cast<double>(result.list_bytes);
            std::fprintf(stderr, "wordpack: %s: %llu -> %llu bytes (%.2f%%) in %.1f s\n",
                         input.name().c_str(), static_cast<unsigned long long>(result.list_bytes),
                         static_cast<unsigned long long>(result.archive_bytes), ratio,
                         seconds_since(start_));
        }
        return true;
    }

    // Unpacks `input` into `output`, or only checks it when `output` is null.
    bool unpack_to(InputFile& input, OutputFile* output, PackFailure& failure) {
        const UnpackSettings settings = unpack_settings();
        Progress progress(input.name(), output ? "unpacking" : "testing", show_progress());
        const UnpackResult result = unpack_archive(input, output, settings);
        progress.stop();
        if (result.status != UnpackStatus::ok) {
            if (result.status == UnpackStatus::write_failed) end_if_reader_gone(*output);
            failure = unpack_failure(result, input, output, settings.memory_limit);
            return false;
        }
        if (output && !commit_output(*output, failure)) return false;
        if (command_.verbosity == 2) {
            if (output)
                std::fprintf(
                    stderr, "wordpack: %s: %llu bytes unpacked in %.1f s\n", input.name().c_str(),
                    static_cast<unsigned long long>(result.list_bytes), seconds_since(start_));
            else
                std::fprintf(stderr, "wordpack: %s: OK\n", input.name().c_str());
        }
        return true;
    }

    bool list(InputFile& input, PackFailure& failure) {
        ArchiveInfo info;
        const UnpackStatus status = describe_archive(input, info);
        if (status != UnpackStatus::ok) {
            UnpackResult result;
            result.status = status;
            failure = unpack_failure(result, input, nullptr, 0);
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
    Listing listing(stdout, command.verbosity == 2);
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
