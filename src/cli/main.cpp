#include <clocale>
#include <iostream>
#include <string>
#include <vector>

#include "cli/CliOptions.h"
#include "cli/CliRunner.h"
#include "cli/Terminal.h"
#include "platform/CommandLine.h"
#include "platform/Console.h"
#include "platform/FileSystem.h"
#include "platform/Interrupts.h"

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
                              std::cerr, grize::defaultFileSystem());
}
