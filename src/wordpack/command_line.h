// wordpack's command line: what to do, with which files, and how loudly.
//
// The options follow xz and zstd, so that hands used to them need nothing new: short options
// may be grouped (-dc, -9v), -o, -T and -M take their value as the next argument or attached
// (-oFILE, -T2), long options take theirs after = or as the next argument, and -- ends the
// options. A file named - is standard input (and, when packing or unpacking, standard output).
// No file at all means -.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace wordperm {

enum class Operation {
    pack,    // FILE -> FILE.wpk (default)
    unpack,  // FILE.wpk -> FILE (-d)
    test,    // unpack and check, write nothing (-t)
    list,    // describe each archive (-l)
};

struct PackCommand {
    Operation operation = Operation::pack;
    bool to_stdout = false;                     // -c: write to standard output, keep every input
    std::optional<std::string> output;          // -o: the one output's name
    bool force = false;                         // -f: replace existing outputs, write to a terminal
    int verbosity = 1;                          // 0 with -q, 1 by default, 2 with -v
    int level = 0;                              // -1 to -9 (--fast, --best); 0: the default level
    unsigned threads = 0;                       // -T: threads to use; 0: one per core
    std::uint64_t block_bytes = 0;              // --block-size; 0: the default
    std::optional<std::uint64_t> memory_limit;  // -M, --memlimit; 0: none
    std::vector<std::string> files;             // as given; "-" is standard input
};

// A size as the options take it: a whole number with an optional suffix k, M or G (KiB, MiB,
// GiB; also KiB, MB, ...). Nothing for text that is not one, or too large.
std::optional<std::uint64_t> parse_size(std::string_view text);

struct ParsedCommandLine {
    enum class Action { run, help, version, usage_error } action = Action::run;
    PackCommand options;
    std::string error;  // for usage_error: what was wrong, without the program's name
};

ParsedCommandLine parse_command_line(const std::vector<std::string>& arguments);

// The text --help prints.
extern const char* const kPackHelp;

}  // namespace wordperm
