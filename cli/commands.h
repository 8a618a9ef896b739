// The commands of zelk-cli.
#pragma once

#include <span>
#include <string>

class ConsoleMessages;

// Exit statuses.
inline constexpr int kExitSuccess = 0;
inline constexpr int kExitFailure = 1;  // the data or a file is at fault
inline constexpr int kExitUsage = 2;    // the command line is at fault
// convert into a pipe whose reader stopped early (`| head`): the status a
// program ended by SIGPIPE has in the shell.
inline constexpr int kExitReaderGone = 141;

// Runs the command line (without the program name) and returns the exit
// status. Results go to standard output; messages to standard error.
int RunCli(std::span<const std::string> args, ConsoleMessages& messages);
