// Runs the built wordperm binary in a scratch directory and captures what it says.
#pragma once

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

namespace wordperm::testing {

struct CliResult {
    int status = -1;  // exit status, or 128 + signal
    std::string out;  // standard output
    std::string err;  // standard error
};

inline std::string slurp_descriptor(int descriptor) {
    std::string text;
    char buffer[4096];
    ssize_t got;
    while ((got = ::read(descriptor, buffer, sizeof buffer)) > 0)
        text.append(buffer, static_cast<std::size_t>(got));
    return text;
}

// Runs `wordperm args...` with standard input from `stdin_path` (or /dev/null) and, when
// `address_space_bytes` is non-zero, that limit on its address space.
inline CliResult run_cli(const std::vector<std::string>& args, const std::string& stdin_path = "",
                         unsigned long address_space_bytes = 0) {
    std::filesystem::path scratch = std::filesystem::temp_directory_path();
    std::string out_path = scratch / ("wordperm-cli-out-" + std::to_string(::getpid()));
    std::string err_path = scratch / ("wordperm-cli-err-" + std::to_string(::getpid()));
    pid_t child = ::fork();
    if (child == 0) {
        int in = ::open(stdin_path.empty() ? "/dev/null" : stdin_path.c_str(), O_RDONLY);
        int out = ::open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        int err = ::open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ::dup2(in, 0);
        ::dup2(out, 1);
        ::dup2(err, 2);
        std::vector<char*> argv;
        std::string binary = WORDPERM_BINARY;
        argv.push_back(binary.data());
        std::vector<std::string> copies = args;
        for (std::string& a : copies)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        if (address_space_bytes) {
            std::string limit = "--as=" + std::to_string(address_space_bytes);
            std::vector<char*> prlimit_argv{const_cast<char*>("prlimit"), limit.data()};
            prlimit_argv.insert(prlimit_argv.end(), argv.begin(), argv.end());
            ::execvp("prlimit", prlimit_argv.data());
        } else {
            ::execv(binary.c_str(), argv.data());
        }
        ::_exit(127);
    }
    int raw = 0;
    ::waitpid(child, &raw, 0);
    CliResult result;
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
    int out = ::open(out_path.c_str(), O_RDONLY);
    int err = ::open(err_path.c_str(), O_RDONLY);
    result.out = slurp_descriptor(out);
    result.err = slurp_descriptor(err);
    ::close(out);
    ::close(err);
    std::filesystem::remove(out_path);
    std::filesystem::remove(err_path);
    return result;
}

// A fresh directory per test, removed afterwards.
class ScratchDirectory {
  public:
    ScratchDirectory() {
        std::string pattern = std::filesystem::temp_directory_path() / "wordperm-test-XXXXXX";
        path_ = ::mkdtemp(pattern.data());
    }
    ~ScratchDirectory() { std::filesystem::remove_all(path_); }
    std::string operator/(const std::string& name) const { return (path_ / name).string(); }

  private:
    std::filesystem::path path_;
};

inline void write_file(const std::string& path, const std::string& contents) {
    std::ofstream(path, std::ios::binary) << contents;
}

inline std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace wordperm::testing
