#pragma once

#include <algorithm>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

#include "core/format/GriDecoder.h"
#include "core/format/GriEncoder.h"
#include "errors/RuntimeError.h"

// Whole buffers in memory, through the format's streaming steps: what the
// tests, the benchmark and the fuzz seeds compare the file operations with.
namespace grize::gri {

inline std::string encryptBytes(std::string_view plaintext, std::string_view password,
                                std::string_view saltSeedText,
                                const kernels::Table& k = kernels::fastest()) {
    std::string out;
    std::size_t pos = 0;
    Encoder(Header::make(saltSeedText, password), k)
        .run(
            [&](char* buffer, std::size_t size) {
                const std::size_t n = std::min(size, plaintext.size() - pos);
                std::memcpy(buffer, plaintext.data() + pos, n);
                pos += n;
                return n;
            },
            [&](std::string_view data) { out.append(data); });
    return out;
}

inline std::optional<std::string> decryptBytes(std::string_view fileBytes,
                                               std::string_view password,
                                               const kernels::Table& k = kernels::fastest()) {
    std::size_t pos = 0;
    Decoder decoder(
        [&](char* buffer, std::size_t size) {
            const std::size_t n = std::min(size, fileBytes.size() - pos);
            std::memcpy(buffer, fileBytes.data() + pos, n);
            pos += n;
            return n;
        },
        k);
    if (!decoder.header().accepts(password)) {
        return std::nullopt;
    }
    if (decoder.header().longer()) {
        throw RuntimeError(ErrorKind::Damaged);
    }
    std::string out;
    decoder.decryptBody([&](std::string_view data) { out.append(data); });
    return out;
}

}  // namespace grize::gri
