// Encrypts or decrypts standard input to standard output in the age format,
// for the interoperability test against the age tool:
//   age_file_tool encrypt|decrypt [--armor] [--log-n N]
// The passphrase comes from AGE_TOOL_PASSPHRASE.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>

#include "core/format/age/AgeDecoder.h"
#include "core/format/age/AgeEncoder.h"
#include "core/format/age/AgeError.h"

int main(int argc, char** argv) {
    const char* pass = std::getenv("AGE_TOOL_PASSPHRASE");
    if (argc < 2 || pass == nullptr) {
        std::cerr << "usage: AGE_TOOL_PASSPHRASE=... age_file_tool encrypt|decrypt [--armor] "
                     "[--log-n N]\n";
        return 2;
    }
    const std::string mode = argv[1];
    bool armor = false;
    int logN = grize::age::kDefaultLogN;
    for (int i = 2; i < argc; ++i) {
        if (std::strcmp(argv[i], "--armor") == 0) {
            armor = true;
        } else if (std::strcmp(argv[i], "--log-n") == 0 && i + 1 < argc) {
            logN = std::atoi(argv[++i]);
        }
    }
    const auto read = [](char* buffer, std::size_t size) {
        return std::fread(buffer, 1, size, stdin);
    };
    const auto write = [](std::string_view s) { std::fwrite(s.data(), 1, s.size(), stdout); };
    try {
        if (mode == "encrypt") {
            grize::age::Encoder(pass, logN, armor).run(read, write);
        } else {
            grize::age::Decoder d(read);
            const auto key = d.unwrap(pass);
            if (!key) {
                std::cerr << "age_file_tool: wrong passphrase\n";
                return 1;
            }
            d.decrypt(*key, write);
        }
    } catch (const grize::age::Error& e) {
        std::cerr << "age_file_tool: " << e.what() << "\n";
        return 1;
    }
    return std::fflush(stdout) == 0 ? 0 : 1;
}
