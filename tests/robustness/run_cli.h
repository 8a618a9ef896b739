// Runs the built zelk-cli as a separate process.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "temp_folder.h"

struct CliResult {
    int status = -1;
    std::string out;
    std::string err;
};

// Runs zelk-cli in folder with the arguments, standard input from stdinFile
// (else /dev/null). Standard output and error are caught in a folder of
// their own, so the case's folder holds only what zelk-cli leaves there.
inline CliResult RunCli(const std::filesystem::path& folder, const std::vector<std::string>& args,
                        const std::optional<std::filesystem::path>& stdinFile = std::nullopt) {
    TempFolder capture;
    const std::filesystem::path outPath = capture / "stdout";
    const std::filesystem::path errPath = capture / "stderr";
    const pid_t pid = ::fork();
    if (pid == 0) {
        const std::string in = stdinFile ? stdinFile->string() : "/dev/null";
        if (::chdir(folder.c_str()) != 0 || !std::freopen(in.c_str(), "r", stdin) ||
            !std::freopen(outPath.c_str(), "w", stdout) ||
            !std::freopen(errPath.c_str(), "w", stderr)) {
            ::_exit(127);
        }
        ::unsetenv("ZELK_THREADS");
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(ZELK_CLI_PATH));
        for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        ::execv(ZELK_CLI_PATH, argv.data());
        ::_exit(127);
    }
    CliResult result;
    int status = 0;
    if (pid > 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status)) {
        result.status = WEXITSTATUS(status);
    }
    result.out = ReadFile(outPath);
    result.err = ReadFile(errPath);
    return result;
}
