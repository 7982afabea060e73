// Parsing wordpack's arguments. Nothing here touches a file: the result says what to do, or
// what was wrong with the command line.
#include "wordpack/command_line.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "pack/pack.h"

namespace wordperm {

const char* const kPackHelp =
    "Usage: wordpack [OPTION]... [FILE]...\n"
    "Pack word lists (text files, one word per line) into small archives, or unpack them.\n"
    "Each FILE is packed into FILE.wpk and kept; with no FILE, or when FILE is -, standard input\n"
    "is packed to standard output.\n"
    "\n"
    "  -d, --decompress      unpack FILE.wpk into FILE\n"
    "  -t, --test            check each archive, writing nothing\n"
    "  -l, --list            show what each archive holds (with -v, each block)\n"
    "  -c, --stdout          write to standard output\n"
    "  -o, --output=FILE     write the one output to FILE\n"
    "  -f, --force           replace existing outputs; write an archive to a terminal\n"
    "  -k, --keep            keep the input files (always done; accepted for habit's sake)\n"
    "  -1 ... -9             how hard to pack: -1 (--fast) least memory, -9 (--best) smallest;\n"
    "                        the default is -6\n"
    "  -T, --threads=N       use N threads (0, the default: one per core)\n"
    "      --block-size=SIZE pack at most SIZE of the list in a block (default 64MiB)\n"
    "  -M, --memlimit=SIZE   use at most about SIZE of memory (0: no limit); unpacking refuses\n"
    "                        a block that needs more, by default more than 1.7GiB\n"
    "  -v, --verbose         report each file, with progress for long runs, on standard error\n"
    "  -q, --quiet           report nothing but errors\n"
    "  -h, --help            show this help and exit\n"
    "  -V, --version         show the version and exit\n"
    "\n"
    "SIZE is a number with an optional suffix k, M or G (KiB, MiB, GiB).\n"
    "Exit status: 0 success, 1 usage error, 2 a file cannot be opened or read, 3 damaged or\n"
    "foreign archive, 4 an output cannot be written, 5 out of memory or over the memory limit.\n";

namespace {

struct LongOption {
    std::string_view name;
    char letter;  // the short option it stands for
};

// The options that take a value; 'B' stands for --block-size, which has no letter.
constexpr std::string_view kValueLetters = "oTMB";

constexpr LongOption kLongOptions[] = {
    {"decompress", 'd'}, {"uncompress", 'd'}, {"test", 't'},       {"list", 'l'},
    {"stdout", 'c'},     {"to-stdout", 'c'},  {"output", 'o'},     {"force", 'f'},
    {"keep", 'k'},       {"verbose", 'v'},    {"quiet", 'q'},      {"help", 'h'},
    {"version", 'V'},    {"fast", '1'},       {"best", '9'},       {"threads", 'T'},
    {"memlimit", 'M'},   {"memory", 'M'},     {"block-size", 'B'},
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
            if (letter >= '1' && letter <= '9') {
                options.level = letter - '0';
                return true;
            }
            return false;
    }
}

// Applies an option that takes a value; an error text when the value is not one it takes.
std::string apply_value(char letter, const std::string& value, PackCommand& options) {
    if (letter == 'o') {
        options.output = value;
        return {};
    }
    const std::optional<std::uint64_t> size = parse_size(value);
    if (letter == 'T') {
        if (!size || *size > 4096 || value.find_first_not_of("0123456789") != std::string::npos)
            return "-T takes a number of threads from 0 to 4096, not '" + value + "'";
        options.threads = static_cast<unsigned>(*size);
        return {};
    }
    if (!size) return "not a size: '" + value + "' (a number, then k, M or G)";
    if (letter == 'M') {
        options.memory_limit = *size;
        return {};
    }
    if (*size < kSmallestBlockBytes || *size > kLargestBlockBytes)
        return "--block-size takes 1KiB to 1GiB, not '" + value + "'";
    options.block_bytes = *size;
    return {};
}

ParsedCommandLine usage_error(std::string error) {
    ParsedCommandLine parsed;
    parsed.action = ParsedCommandLine::Action::usage_error;
    parsed.error = std::move(error);
    return parsed;
}

// The combinations no single run can do.
std::string conflict_of(const PackCommand& options) {
    if (!options.output) return {};
    if (options.to_stdout) return "-o and -c both name the output";
    if (options.operation == Operation::test || options.operation == Operation::list)
        return "-o names an output, but -t and -l write none";
    if (options.files.size() > 1) return "-o names one output, but several files were given";
    return {};
}

}  // namespace

std::optional<std::uint64_t> parse_size(std::string_view text) {
    std::uint64_t value = 0;
    std::size_t at = 0;
    for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at) {
        if (value > (UINT64_MAX - 9) / 10) return std::nullopt;
        value = value * 10 + static_cast<std::uint64_t>(text[at] - '0');
    }
    if (at == 0) return std::nullopt;
    std::string_view suffix = text.substr(at);
    int shift = 0;
    if (!suffix.empty()) {
        switch (suffix[0]) {
            case 'k':
            case 'K':
                shift = 10;
                break;
            case 'm':
            case 'M':
                shift = 20;
                break;
            case 'g':
            case 'G':
                shift = 30;
                break;
            default:
                return std::nullopt;
        }
        suffix.remove_prefix(1);
        if (suffix != "" && suffix != "B" && suffix != "iB") return std::nullopt;
    }
    if (value > (UINT64_MAX >> shift)) return std::nullopt;
    return value << shift;
}

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
            if (kValueLetters.find(found->letter) != std::string_view::npos) {
                std::string value;
                if (equals != std::string_view::npos) {
                    value = std::string(text.substr(equals + 1));
                } else if (i + 1 < arguments.size()) {
                    value = arguments[++i];
                } else {
                    return usage_error("option '--" + std::string(name) + "' requires a value");
                }
                if (std::string error = apply_value(found->letter, value, parsed.options);
                    !error.empty())
                    return usage_error(std::move(error));
            } else if (equals != std::string_view::npos) {
                return usage_error("option '--" + std::string(name) + "' takes no value");
            } else {
                apply(found->letter, parsed);
            }
            continue;
        }
        for (std::size_t k = 1; k < argument.size(); ++k) {
            const char letter = argument[k];
            if (letter != 'B' && kValueLetters.find(letter) != std::string_view::npos) {
                std::string value;
                if (k + 1 < argument.size()) {
                    value = argument.substr(k + 1);
                } else if (i + 1 < arguments.size()) {
                    value = arguments[++i];
                } else {
                    return usage_error(std::string("option -") + letter + " requires a value");
                }
                if (std::string error = apply_value(letter, value, parsed.options); !error.empty())
                    return usage_error(std::move(error));
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
