// Decrypts arbitrary bytes through the real file operation and checks that a
// run leaves either exactly its output or the untouched source.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <set>
#include <string>
#include <string_view>

#include "FuzzCheck.h"
#include "TestFiles.h"
#include "core/files/FileOperations.h"
#include "core/format/GriDecoder.h"
#include "core/job/PathHelpers.h"
#include "errors/RuntimeError.h"

namespace {

// The seeds in fuzz/corpus/fuzz_decrypt_file were made with this password,
// so inputs get past the password check.
constexpr std::string_view kPassword = "fuzz";

struct DecryptResult {
    bool done = false;        // false: the password was refused
    bool sourceKept = false;  // the source stays beside the output
    std::string output;       // the path written when done
};

// The one place that knows how decryptFile is called.
DecryptResult decryptSource(const std::string& source) {
    DecryptResult result;
    const std::string outputPath = grize::replaceExtension(source, ".txt");
    const grize::RunResult run = grize::decryptFile(source, {std::string(kPassword)}, outputPath,
                                                    {}, grize::defaultFileSystem());
    result.done = !run.wrongPassword;
    result.sourceKept = run.sourceKept != grize::SourceKept::No;
    result.output = run.output;
    return result;
}

// The same format steps in memory with tiny reads, buffer and chunks, which
// must give the same bytes; nullopt for a refused password or a failure.
std::optional<std::string> decryptInSmallSteps(std::string_view bytes) {
    try {
        grize::gri::Decoder decoder(
            [&](char* buffer, std::size_t size) {
                const std::size_t n = std::min({size, bytes.size(), std::size_t{3}});
                std::memcpy(buffer, bytes.data(), n);
                bytes.remove_prefix(n);
                return n;
            },
            grize::kernels::fastest(), 5, 8);
        const grize::gri::Header& header = decoder.header();
        if (!header.accepts(kPassword) || header.longer()) {
            return std::nullopt;
        }
        std::string out;
        decoder.decryptBody([&](std::string_view data) { out.append(data); });
        return out;
    } catch (const grize::RuntimeError&) {
        return std::nullopt;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    grize::test::TempDir dir;
    const std::string source = dir / "src.gri";
    grize::test::writeFile(source, input);

    std::optional<DecryptResult> result;
    try {
        result = decryptSource(source);
    } catch (const grize::RuntimeError&) {
    }
    const std::optional<std::string> expected = decryptInSmallSteps(input);

    if (result && result->done) {
        const std::string output = dir / "src.txt";
        FUZZ_CHECK(result->output == output);
        const std::set<std::string> left = result->sourceKept
                                               ? std::set<std::string>{"src.gri", "src.txt"}
                                               : std::set<std::string>{"src.txt"};
        FUZZ_CHECK(dir.names() == left);
        FUZZ_CHECK(!result->sourceKept || grize::test::readFile(source) == input);
        FUZZ_CHECK(expected && grize::test::readFile(output) == *expected);
    } else {
        FUZZ_CHECK(dir.names() == std::set<std::string>{"src.gri"});
        FUZZ_CHECK(grize::test::readFile(source) == input);
        FUZZ_CHECK(!expected);
    }
    return 0;
}
