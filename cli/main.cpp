// zelk-cli: the command-line companion of the desktop program.
#include <clocale>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/console.h"

using namespace zelk;

int main(int argc, char** argv) {
    // The user's locale, like any program; numbers never depend on it.
    std::setlocale(LC_ALL, "");
    InstallSignalHandling();
    ConsoleMessages messages;
    const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    return RunCli(args, messages);
}
