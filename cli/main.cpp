#include "cli/Cli.h"
#include "platform/Process.h"

#include <iostream>

int main(int argc, char** argv) {
    const CUtf8ConsoleScope console;
    const CFineTimerScope timer;
    return RunCli(Utf8Arguments(argc, argv), std::cout, std::cerr);
}
