#include "core/format/GriEncoder.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "core/cipher/Cipher.h"
#include "core/format/PlacedBuffer.h"
#include "errors/RuntimeError.h"

namespace grize::gri {

namespace {

// Plaintext groups XORed and armoured together: small enough to stay in the
// first-level cache between the steps.
constexpr std::size_t kBlockGroups = 64;

std::size_t readFull(const ReadFn& read, char* buffer, std::size_t size) {
    std::size_t got = 0;
    while (got < size) {
        const std::size_t n = read(buffer + got, size - got);
        if (n == 0) {
            break;
        }
        got += n;
    }
    return got;
}

std::size_t checkedChunk(std::size_t plainChunk) {
    if (plainChunk == 0 || plainChunk % kPlainGroup != 0) {
        throw RuntimeError(ErrorKind::InvalidCall);
    }
    return plainChunk;
}

std::size_t appendLines(char* out, std::string_view armour) {
    std::size_t o = 0;
    for (std::size_t p = 0; p < armour.size(); p += kLineLength) {
        const std::string_view line = armour.substr(p, kLineLength);
        std::memcpy(out + o, line.data(), line.size());
        std::memcpy(out + o + line.size(), kLineEnd.data(), kLineEnd.size());
        o += line.size() + kLineEnd.size();
    }
    return o;
}

}  // namespace

Encoder::Encoder(const Header& header, const kernels::Table& k, std::size_t plainChunk)
    : k_(k),
      line_(header.line()),
      plainChunk_(checkedChunk(plainChunk)),
      keystream_(header.line()) {}

std::size_t Encoder::putHeaderLine(char* out) const {
    std::memcpy(out, line_.data(), line_.size());
    std::memcpy(out + line_.size(), kLineEnd.data(), kLineEnd.size());
    return line_.size() + kLineEnd.size();
}

// Whole groups armour to whole lines, so the groups can go through the
// kernels and the short rest through stretchInto.
std::size_t Encoder::encryptChunk(char* plain, std::size_t n, char* out) {
    char armour[kBlockGroups * kGroupArmour];
    std::size_t p = 0;
    std::size_t o = 0;
    while (n - p >= kPlainGroup) {
        const std::size_t groups = std::min(kBlockGroups, (n - p) / kPlainGroup);
        keystream_.apply(k_, plain + p, groups * kPlainGroup);
        k_.stretch(bytes(plain + p), groups * kPlainGroup, bytes(armour));
        for (std::size_t g = 0; g < groups; ++g, o += kGroupLines) {
            const char* a = armour + g * kGroupArmour;
            std::memcpy(out + o, a, kLineLength);
            std::memcpy(out + o + kLineLength, "\r\n", 2);
            std::memcpy(out + o + kLineLength + 2, a + kLineLength, kLineLength);
            std::memcpy(out + o + 2 * kLineLength + 2, "\r\n", 2);
        }
        p += groups * kPlainGroup;
    }
    if (p < n) {
        keystream_.apply(k_, plain + p, n - p);
        // Less than a group: at most 140 characters.
        char rest[kGroupArmour];
        stretchInto(std::string_view(plain + p, n - p), rest);
        o += appendLines(out + o, std::string_view(rest, stretchedSize(n - p)));
    }
    return o;
}

void Encoder::run(const ReadFn& read, const WriteFn& write) {
    PlacedBuffer plain(plainChunk_);
    PlacedBuffer out(line_.size() + kLineEnd.size() + plainChunk_ / kPlainGroup * kGroupLines +
                     kGroupLines);
    // The header line goes out with the first chunk's lines.
    std::size_t o = putHeaderLine(out.data());
    for (bool first = true;; first = false) {
        const std::size_t n = readFull(read, plain.data(), plainChunk_);
        if (n == 0 && first) {
            // An empty body is still one (empty) line.
            std::memcpy(out.data() + o, kLineEnd.data(), kLineEnd.size());
            o += kLineEnd.size();
        }
        o += encryptChunk(plain.data(), n, out.data() + o);
        if (o != 0) {
            write(std::string_view(out.data(), o));
        }
        plain.advance(n);
        out.advance(o);
        o = 0;
        if (n < plainChunk_) {
            break;
        }
    }
}

}  // namespace grize::gri
