#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/wait.h>

#include "support/TempFolder.h"

namespace testing_support {

struct CommandResult {
    int status = -1;
    std::string out;
    std::string err;
};

// Quotes one argument for the shell.
inline std::string ShellQuote(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}

// Runs a shell command line; standard output and standard error are captured.
inline CommandResult RunShell(const std::string& commandLine, const TempFolder& scratch) {
    std::string errPath = scratch / ".stderr";
    std::string full = commandLine + " 2>" + ShellQuote(errPath);
    CommandResult result;
    FILE* pipe = ::popen(full.c_str(), "r");
    if (pipe == nullptr) {
        return result;
    }
    char buffer[4096];
    std::size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) {
        result.out.append(buffer, got);
    }
    int status = ::pclose(pipe);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    auto err = ReadFileBytes(errPath);
    result.err.assign(err.begin(), err.end());
    return result;
}

// Runs the command-line tool (its path comes from PLANDREL_CLI) with arguments.
inline CommandResult RunCli(const std::vector<std::string>& args, const TempFolder& scratch) {
    const char* cli = std::getenv("PLANDREL_CLI");
    std::string line = ShellQuote(cli ? cli : "plandrel");
    for (const auto& arg : args) {
        line += ' ';
        line += ShellQuote(arg);
    }
    return RunShell(line, scratch);
}

}  // namespace testing_support
