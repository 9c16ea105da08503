#include <clocale>
#include <iostream>
#include <string>
#include <vector>

#include "CliOptions.h"
#include "CliRunner.h"
#include "CommandLine.h"
#include "Console.h"
#include "Interrupts.h"
#include "Terminal.h"

int main(int argc, char** argv) {
    // The salt's seed uses the user's short date form.
    std::setlocale(LC_ALL, "");
    // An interruption removes the run's scratch files and gives the
    // terminal its echo back.
    grize::installInterruptCleanup(grize::restoreConsole);
    grize::useBinaryStandardStreams();
    const std::vector<std::string> args = grize::commandLineArguments(argc, argv);
    const auto terminal = grize::cli::makeSystemTerminal();
    return grize::cli::runCli(grize::cli::parseArguments(args), std::cin, *terminal, std::cout,
                              std::cerr);
}
