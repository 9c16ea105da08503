// Writes the seed corpora: make_fuzz_seeds fuzz/corpus
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <string_view>

#include "GriBytes.h"
#include "core/cipher/Cipher.h"
#include "core/format/GriFormat.h"
#include "core/format/age/AgeEncoder.h"

namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;

// Fixed, so that the seeds come out the same on every run.
constexpr std::string_view kSaltSeed = "01/02/24 14523.45";

void write(const fs::path& folder, const std::string& name, std::string_view bytes) {
    fs::create_directories(folder);
    std::ofstream(folder / name, std::ios::binary | std::ios::trunc) << bytes;
}

std::string stretched(std::string_view bytes) {
    grize::Cipher c;
    c.setText(bytes);
    c.stretch();
    return c.text();
}

std::string allBytes() {
    std::string out;
    for (int i = 0; i < 256; ++i) {
        out.push_back(static_cast<char>(i));
    }
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: make_fuzz_seeds CORPUS_FOLDER\n";
        return 2;
    }
    const fs::path root = argv[1];

    // The password is the one fuzz_decrypt_file.cpp uses.
    const fs::path gri = root / "fuzz_decrypt_file";
    const auto encrypt = [](std::string_view plain, std::string_view password = "fuzz") {
        return grize::gri::encryptBytes(plain, password, kSaltSeed);
    };
    write(gri, "empty.gri", encrypt(""));
    write(gri, "line.gri", encrypt("notes\r\n"));
    write(gri, "two-lines.gri", encrypt(std::string(105, 'x')));
    write(gri, "all-bytes.gri", encrypt(allBytes()));
    write(gri, "other-password.gri", encrypt("notes", "other"));
    const std::string header = encrypt("").substr(0, grize::gri::kHeaderLength);
    write(gri, "header-only.gri", header);
    write(gri, "lf-lines.gri", header + "\r\n;;;;\n;;;;\r;;;;");
    // Converted to LF throughout, and padded with NULs after a crash.
    std::string lfOnly = encrypt(allBytes());
    std::erase(lfOnly, '\r');
    write(gri, "lf-only.gri", lfOnly);
    write(gri, "nul-tail.gri", encrypt(std::string(105, 'x')) + std::string(64, '\0'));

    const fs::path shrink = root / "fuzz_shrink";
    write(shrink, "one", stretched("a"));
    write(shrink, "two", stretched("ab"));
    write(shrink, "group", stretched("abc"));
    write(shrink, "all-bytes", stretched(allBytes()));
    write(shrink, "below-alphabet", ":;<=");

    const fs::path cli = root / "fuzz_cli_options";
    write(cli, "decrypt-stdin", "decrypt\0--password-stdin\0notes.gri"s);
    write(cli, "encrypt", "encrypt\0a.txt\0b.txt"s);
    write(cli, "only-files", "decrypt\0--\0-a.gri"s);
    write(cli, "help", "--help");
    write(cli, "version", "--version");
    write(cli, "unknown", "encrypt\0-x"s);

    // The passphrase and work factor are fuzz_age_decoder.cpp's. These seeds
    // differ on every run: the encoder draws its keys and salt.
    const fs::path age = root / "fuzz_age_decoder";
    const auto ageFile = [](std::string_view plain, bool armor, std::string_view pass = "fuzz") {
        std::string out;
        grize::age::Encoder(pass, 2, armor)
            .run(
                [&plain](char* buffer, std::size_t size) {
                    const std::size_t n = std::min(size, plain.size());
                    plain.copy(buffer, n);
                    plain.remove_prefix(n);
                    return n;
                },
                [&out](std::string_view s) { out.append(s); });
        return out;
    };
    write(age, "empty.age", ageFile("", false));
    write(age, "all-bytes.age", ageFile(allBytes(), false));
    write(age, "two-chunks.age", ageFile(std::string(65536 + 100, 'x'), false));
    write(age, "armored.age", ageFile(allBytes(), true));
    write(age, "other-passphrase.age", ageFile("notes", false, "other"));
    return 0;
}
