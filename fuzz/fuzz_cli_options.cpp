// Runs grize-cli on arbitrary arguments (the input split at NUL) inside an
// empty scratch folder. Arguments that could name anything outside it are
// dropped, since the harness may run as root.
#include <fcntl.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "FuzzCheck.h"
#include "TestFiles.h"
#include "cli/CliOptions.h"
#include "cli/CliRunner.h"
#include "cli/Terminal.h"
#include "platform/FileSystem.h"

namespace {

grize::test::TempDir* folder = nullptr;

class FixedTerminal final : public grize::cli::Terminal {
  public:
    std::optional<std::string> readHidden(const std::string&) override { return "fuzz"; }
};

std::vector<std::string> confinedArguments(std::string_view input) {
    std::vector<std::string> args;
    while (true) {
        const std::size_t end = input.find('\0');
        const std::string_view arg = input.substr(0, end);
        if (arg.find('/') == std::string_view::npos && !arg.starts_with("..")) {
            args.emplace_back(arg);
        }
        if (end == std::string_view::npos) {
            return args;
        }
        input.remove_prefix(end + 1);
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    folder = new grize::test::TempDir;
    std::atexit([] { delete folder; });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::string> args =
        confinedArguments(std::string_view(reinterpret_cast<const char*>(data), size));

    // libFuzzer may write into folders named relative to where it started.
    const int home = ::open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    FUZZ_CHECK(home >= 0 && ::chdir(folder->path().c_str()) == 0);
    FixedTerminal terminal;
    std::istringstream in("fuzz\n");
    std::ostringstream out;
    std::ostringstream messages;
    const grize::cli::CliOptions options = grize::cli::parseArguments(args);
    const int status =
        grize::cli::runCli(options, in, terminal, out, messages, grize::defaultFileSystem());
    FUZZ_CHECK(::fchdir(home) == 0);
    ::close(home);

    // With no file to work on, nothing is done and nothing may appear; only
    // "-" works, from standard input to standard output.
    const bool untouched = folder->names().empty();
    for (const auto& entry : std::filesystem::directory_iterator(folder->path())) {
        std::filesystem::remove_all(entry.path());
    }
    FUZZ_CHECK(untouched);
    FUZZ_CHECK(status != grize::cli::kExitDone || options.command == grize::cli::Command::Help ||
               options.command == grize::cli::Command::Version || options.usesStreams());
    return 0;
}
