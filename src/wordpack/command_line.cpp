// Parsing wordpack's arguments. Nothing here touches a file: the result says what to do, or
// what was wrong with the command line.
#include "wordpack/command_line.h"

#include <cstddef>
#include <string_view>

namespace wordperm {

const char* const kPackHelp =
    "Usage: wordpack [OPTION]... [FILE]...\n"
    "Pack word lists (text files, one word per line) into small archives, or unpack them.\n"
    "Each FILE is packed into FILE.wpk and kept; with no FILE, or when FILE is -, standard input\n"
    "is packed to standard output.\n"
    "\n"
    "  -d, --decompress   unpack FILE.wpk into FILE\n"
    "  -t, --test         check each archive, writing nothing\n"
    "  -l, --list         show what each archive holds\n"
    "  -c, --stdout       write to standard output\n"
    "  -o, --output=FILE  write the one output to FILE\n"
    "  -f, --force        replace existing outputs; write an archive to a terminal\n"
    "  -k, --keep         keep the input files (always done; accepted for habit's sake)\n"
    "  -v, --verbose      report each file, with progress for long runs, on standard error\n"
    "  -q, --quiet        report nothing but errors\n"
    "  -h, --help         show this help and exit\n"
    "  -V, --version      show the version and exit\n"
    "\n"
    "Exit status: 0 success, 1 usage error, 2 a file cannot be opened or read, 3 damaged or\n"
    "foreign archive, 4 an output cannot be written, 5 out of memory.\n";

namespace {

struct LongOption {
    std::string_view name;
    char letter;  // the short option it stands for
};

constexpr LongOption kLongOptions[] = {
    {"decompress", 'd'}, {"uncompress", 'd'}, {"test", 't'},    {"list", 'l'}, {"stdout", 'c'},
    {"to-stdout", 'c'},  {"output", 'o'},     {"force", 'f'},   {"keep", 'k'}, {"verbose", 'v'},
    {"quiet", 'q'},      {"help", 'h'},       {"version", 'V'},
};

// Applies one option other than -o. Returns false for a letter that is no option.
bool apply(char letter, ParsedCommandLine& parsed) {
    PackCommand& options = parsed.options;
    switch (letter) {
        case 'd':
            options.operation = Operation::unpack;
            return true;
        case 't':
            options.operation = Operation::test;
            return true;
        case 'l':
            options.operation = Operation::list;
            return true;
        case 'c':
            options.to_stdout = true;
            return true;
        case 'f':
            options.force = true;
            return true;
        case 'k':
            return true;
        case 'v':
            options.verbosity = 2;
            return true;
        case 'q':
            options.verbosity = 0;
            return true;
        case 'h':
            if (parsed.action == ParsedCommandLine::Action::run)
                parsed.action = ParsedCommandLine::Action::help;
            return true;
        case 'V':
            if (parsed.action == ParsedCommandLine::Action::run)
                parsed.action = ParsedCommandLine::Action::version;
            return true;
        default:
            return false;
    }
}

ParsedCommandLine usage_error(std::string error) {
    ParsedCommandLine parsed;
    parsed.action = ParsedCommandLine::Action::usage_error;
    parsed.error = std::move(error);
    return parsed;
}

// The combinations no single run can do.
std::string conflict_of(const PackCommand& options) {
    if (options.operation == Operation::pack && options.to_stdout && options.files.size() > 1)
        return "-c with several files would join their archives into one that cannot be unpacked";
    if (!options.output) return {};
    if (options.to_stdout) return "-o and -c both name the output";
    if (options.operation == Operation::test || options.operation == Operation::list)
        return "-o names an output, but -t and -l write none";
    if (options.files.size() > 1) return "-o names one output, but several files were given";
    return {};
}

}  // namespace

ParsedCommandLine parse_command_line(const std::vector<std::string>& arguments) {
    ParsedCommandLine parsed;
    bool options_ended = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (options_ended || argument.size() < 2 || argument[0] != '-') {
            parsed.options.files.push_back(argument);
            continue;
        }
        if (argument == "--") {
            options_ended = true;
            continue;
        }
        if (argument[1] == '-') {
            const std::string_view text = std::string_view(argument).substr(2);
            const std::size_t equals = text.find('=');
            const std::string_view name = text.substr(0, equals);
            const LongOption* found = nullptr;
            for (const LongOption& option : kLongOptions)
                if (option.name == name) found = &option;
            if (!found) return usage_error("unrecognized option '" + argument + "'");
            if (found->letter == 'o') {
                if (equals != std::string_view::npos) {
                    parsed.options.output = std::string(text.substr(equals + 1));
                } else if (i + 1 < arguments.size()) {
                    parsed.options.output = arguments[++i];
                } else {
                    return usage_error("option '--output' requires a file");
                }
            } else if (equals != std::string_view::npos) {
                return usage_error("option '--" + std::string(name) + "' takes no value");
            } else {
                apply(found->letter, parsed);
            }
            continue;
        }
        for (std::size_t k = 1; k < argument.size(); ++k) {
            const char letter = argument[k];
            if (letter == 'o') {
                if (k + 1 < argument.size()) {
                    parsed.options.output = argument.substr(k + 1);
                } else if (i + 1 < arguments.size()) {
                    parsed.options.output = arguments[++i];
                } else {
                    return usage_error("option -o requires a file");
                }
                break;
            }
            if (!apply(letter, parsed))
                return usage_error(std::string("invalid option -- '") + letter + "'");
        }
    }
    if (std::string conflict = conflict_of(parsed.options); !conflict.empty())
        return usage_error(std::move(conflict));
    if (parsed.options.files.empty()) parsed.options.files.push_back("-");
    return parsed;
}

}  // namespace wordperm
