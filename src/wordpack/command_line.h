// wordpack's command line: what to do, with which files, and how loudly.
//
// The options follow xz and zstd, so that hands used to them need nothing new: short options
// may be grouped (-dc), -o takes its file as the next argument or attached (-oFILE), long
// options take theirs after = or as the next argument, and -- ends the options. A file named -
// is standard input (and, when packing or unpacking, standard output). No file at all means -.
#pragma once

#include <optional>
#include <string>
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
    bool to_stdout = false;             // -c: write to standard output, keep every input
    std::optional<std::string> output;  // -o: the one output's name
    bool force = false;                 // -f: replace existing outputs, write to a terminal
    int verbosity = 1;                  // 0 with -q, 1 by default, 2 with -v
    std::vector<std::string> files;     // as given; "-" is standard input
};

struct ParsedCommandLine {
    enum class Action { run, help, version, usage_error } action = Action::run;
    PackCommand options;
    std::string error;  // for usage_error: what was wrong, without the program's name
};

ParsedCommandLine parse_command_line(const std::vector<std::string>& arguments);

// The text --help prints.
extern const char* const kPackHelp;

}  // namespace wordperm
