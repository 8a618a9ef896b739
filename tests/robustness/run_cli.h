// Runs the built zelk-cli as a separate process, as a shell would.
#pragma once

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "temp_folder.h"

struct CliResult {
    int status = -1;  // exit status, -1 when ended by a signal
    int signal = 0;   // the signal that ended it
    std::string out;
    std::string err;
    long maxRssKb = 0;     // peak memory of the run
    bool timedOut = false;  // killed after the time allowed
};

struct CliRun {
    std::optional<std::filesystem::path> stdinFile;  // else /dev/null
    int stdoutFd = -1;                  // standard output; else caught in a file
    int stderrFd = -1;                  // standard error; else caught in a file (err)
    long fileSizeLimit = -1;            // bytes, as `ulimit -f` sets it; -1: none
    const char* threads = nullptr;      // ZELK_THREADS; else unset
    // Called with the child's process id while it runs, before the wait.
    std::function<void(pid_t)> whileRunning;
    int seconds = 120;  // time allowed, then the child is killed
};

// Runs zelk-cli in folder with the arguments. Standard output and error are
// caught in a folder of their own, so the case's folder holds only what
// zelk-cli leaves there.
inline CliResult RunCli(const std::filesystem::path& folder, const std::vector<std::string>& args, const CliRun& run) {
    TempFolder capture;
    const std::filesystem::path outPath = capture / "stdout";
    const std::filesystem::path errPath = capture / "stderr";
    const pid_t pid = ::fork();
    if (pid == 0) {
        const std::string in = run.stdinFile ? run.stdinFile->string() : "/dev/null";
        if (::chdir(folder.c_str()) != 0 || !std::freopen(in.c_str(), "r", stdin) ||
            (run.stdoutFd >= 0 ? ::dup2(run.stdoutFd, 1) != 1
                               : !std::freopen(outPath.c_str(), "w", stdout)) ||
            (run.stderrFd >= 0 ? ::dup2(run.stderrFd, 2) != 2
                               : !std::freopen(errPath.c_str(), "w", stderr))) {
            ::_exit(127);
        }
        if (run.fileSizeLimit >= 0) {
            struct rlimit limit {};
            limit.rlim_cur = limit.rlim_max = static_cast<rlim_t>(run.fileSizeLimit);
            if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) ::_exit(127);
        }
        // As a shell starts a command in the foreground, whatever this
        // test program was started with.
        for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGPIPE, SIGXFSZ}) std::signal(signal, SIG_DFL);
        sigset_t none;
        sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        if (run.threads) {
            ::setenv("ZELK_THREADS", run.threads, 1);
        } else {
            ::unsetenv("ZELK_THREADS");
        }
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(ZELK_CLI_PATH));
        for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        ::execv(ZELK_CLI_PATH, argv.data());
        ::_exit(127);
    }
    CliResult result;
    if (pid < 0) return result;
    if (run.whileRunning) run.whileRunning(pid);
    int status = 0;
    struct rusage usage {};
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(run.seconds);
    // The peak memory of zelk-cli itself: its VmHWM once it runs (the
    // rusage of the child also counts the memory of this process, which
    // the child had until its exec: hundreds of MB under the sanitizers).
    long polledHwmKb = -1;
    const std::string proc = "/proc/" + std::to_string(pid);
    std::error_code ec;
    const std::filesystem::path cli = std::filesystem::canonical(ZELK_CLI_PATH, ec);
    for (;;) {
        if (std::filesystem::read_symlink(proc + "/exe", ec) == cli && !ec) {
            std::ifstream statusFile(proc + "/status");
            for (std::string line; std::getline(statusFile, line);) {
                if (line.rfind("VmHWM:", 0) == 0) {
                    polledHwmKb = std::max(polledHwmKb, std::atol(line.c_str() + 6));
                }
            }
        }
        const pid_t done = ::wait4(pid, &status, WNOHANG, &usage);
        if (done == pid) break;
        if (done < 0) return result;
        if (std::chrono::steady_clock::now() > deadline && !result.timedOut) {
            result.timedOut = true;
            ::kill(pid, SIGKILL);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    if (WIFEXITED(status)) result.status = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) result.signal = WTERMSIG(status);
    // Seen while it ran, else (a run too short to see) what rusage says.
    result.maxRssKb = polledHwmKb >= 0 ? polledHwmKb : usage.ru_maxrss;
    result.out = ReadFile(outPath);
    result.err = ReadFile(errPath);
    return result;
}

inline CliResult RunCli(const std::filesystem::path& folder, const std::vector<std::string>& args,
                 const std::optional<std::filesystem::path>& stdinFile = std::nullopt) {
    CliRun run;
    run.stdinFile = stdinFile;
    return RunCli(folder, args, run);
}

