// Running the qohost command as a user runs it, for behaviour tests: from the source folder,
// so that level paths and the printed paths are relative, with its exit code and its output.
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace qohost::test {

struct CommandResult {
    int code = -1;
    std::string out;
    std::string err;
};

inline std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// A path in the test temporary folder named after the running test and this process: the
// builds of two presets run the same tests, and may run them at the same time.
inline std::string TestTempPath(const std::string& suffix) {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(info->test_suite_name()) + "_" + info->name();
    std::replace(name.begin(), name.end(), '/', '_');
    return ::testing::TempDir() + "qohost_" + name + "_" + std::to_string(::getpid()) + suffix;
}

inline CommandResult RunQohost(const std::string& args) {
    const std::string out = TestTempPath(".out"), err = TestTempPath(".err");
    const std::string command = "cd '" QUORIN_SOURCE_DIR "' && '" QOHOST_PATH "' " + args + " >'" + out +
                                "' 2>'" + err + "'";
    const int status = std::system(command.c_str());
    CommandResult r;
    r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.out = ReadFile(out);
    r.err = ReadFile(err);
    std::remove(out.c_str());
    std::remove(err.c_str());
    return r;
}

// Starts qohost in the background, from the source folder, with its output (both streams) in
// the file `out`; the test signals it and waits for it.
inline pid_t StartQohost(const std::vector<std::string>& args, const std::string& out) {
    const pid_t pid = fork();
    if (pid != 0) return pid;
    if (chdir(QUORIN_SOURCE_DIR) != 0) _exit(127);
    FILE* file = std::fopen(out.c_str(), "w");
    if (!file) _exit(127);
    dup2(fileno(file), 1);
    dup2(fileno(file), 2);
    std::vector<char*> argv{const_cast<char*>(QOHOST_PATH)};
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(QOHOST_PATH, argv.data());
    _exit(127);
}

inline std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

}  // namespace qohost::test
