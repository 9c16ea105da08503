#include "GriFormat.h"

#include <algorithm>
#include <cstring>

#include "Cipher.h"
#include "Generator.h"
#include "Hash.h"
#include "RuntimeError.h"
#include "TargetChecks.h"

namespace grize::gri {

namespace {

// Keeps a chunked keystream independent of anything else that might draw
// from the process generator between two chunks.
class KeystreamCipher {
  public:
    explicit KeystreamCipher(std::string_view key) {
        cipher_.KeyString(key);
        state_ = Generator::process().state();
    }
    Cipher& cipher() { return cipher_; }
    void doXor() {
        Generator& g = Generator::process();
        g.setState(state_);
        cipher_.DoXor();
        state_ = g.state();
    }

  private:
    Cipher cipher_;
    std::uint32_t state_ = 0;
};

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

constexpr unsigned char kAlphabetTop = 'z';

void appendLines(std::string& out, std::string_view armour) {
    for (std::size_t p = 0; p < armour.size(); p += kLineLength) {
        out.append(armour.substr(p, kLineLength));
        out.append(kLineEnd);
    }
}

}  // namespace

std::string makeHeader(std::string_view saltSeedText, std::string_view password) {
    const std::string salt = Hash(saltSeedText);
    std::string salted = salt;
    salted.append(password);
    return std::string(kMarker) + salt + Hash(salted);
}

bool headerAccepts(std::string_view headerLine, std::string_view password) {
    std::string salted(headerLine.substr(std::min(headerLine.size(), kSaltOffset), kFieldLength));
    salted.append(password);
    const std::string expected = Hash(salted);
    return headerLine.substr(0, kHeaderLength).find(expected) == kVerifierOffset;
}

void encrypt(std::string_view headerLine, const ReadFn& read, const WriteFn& write,
             std::size_t plainChunk) {
    if (plainChunk == 0 || plainChunk % kPlainGroup != 0) {
        throw err::invalidCall();
    }
    std::string header(headerLine);
    header.append(kLineEnd);
    write(header);

    KeystreamCipher keyed(headerLine);
    std::string plain(plainChunk, '\0');
    std::string out;
    bool any = false;
    for (;;) {
        plain.resize(plainChunk);
        const std::size_t n = readFull(read, plain.data(), plain.size());
        if (n == 0) {
            break;
        }
        any = true;
        plain.resize(n);
        keyed.cipher().Text(plain);
        keyed.doXor();
        keyed.cipher().Stretch();
        const std::string armour = keyed.cipher().TakeText();
        out.clear();
        appendLines(out, armour);
        write(out);
        if (n < plainChunk) {
            break;
        }
    }
    if (!any) {
        write(kLineEnd);  // an empty body is still one (empty) line
    }
}

Input::Input(ReadFn read, std::size_t bufferSize) : read_(std::move(read)) {
    buffer_.resize(std::max<std::size_t>(bufferSize, 1));
}

bool Input::fill() {
    if (atEnd_) {
        return false;
    }
    pos_ = 0;
    end_ = read_(buffer_.data(), buffer_.size());
    if (end_ == 0) {
        atEnd_ = true;
        return false;
    }
    return true;
}

Input::HeaderLine Input::readHeaderLine(std::size_t keep) {
    HeaderLine line;
    for (;;) {
        if (pos_ == end_ && !fill()) {
            return line;
        }
        const char* begin = buffer_.data() + pos_;
        const auto* cr = static_cast<const char*>(std::memchr(begin, '\r', end_ - pos_));
        const std::size_t span = cr ? static_cast<std::size_t>(cr - begin) : end_ - pos_;
        const std::size_t room = keep - line.text.size();
        if (span > room) {
            line.text.append(begin, room);
            line.longer = true;
            pos_ += room;
            return line;
        }
        line.text.append(begin, span);
        pos_ += span;
        if (cr) {
            ++pos_;
            afterCr_ = true;
            inFirstLine_ = false;
            return line;
        }
    }
}

void Input::readBody(const std::function<void(std::string_view)>& sink) {
    std::string chars;
    for (;;) {
        if (pos_ == end_ && !fill()) {
            return;
        }
        if (inFirstLine_) {
            // The rest of a first line that was read only in part.
            const char* begin = buffer_.data() + pos_;
            const auto* cr = static_cast<const char*>(std::memchr(begin, '\r', end_ - pos_));
            if (!cr) {
                pos_ = end_;
                continue;
            }
            pos_ += static_cast<std::size_t>(cr - begin) + 1;
            afterCr_ = true;
            inFirstLine_ = false;
        }
        chars.clear();
        for (; pos_ < end_; ++pos_) {
            const char c = buffer_[pos_];
            if (c == '\r') {
                afterCr_ = true;
            } else if (c == '\n' && afterCr_) {
                afterCr_ = false;
            } else {
                afterCr_ = false;
                chars.push_back(c);
            }
        }
        if (!chars.empty()) {
            sink(chars);
        }
    }
}

BodyReport decryptBody(std::string_view headerLine, Input& in, const WriteFn& write,
                       std::size_t armourChunk) {
    if (armourChunk == 0 || armourChunk % 4 != 0) {
        throw err::invalidCall();
    }
    KeystreamCipher keyed(headerLine);
    std::string pending;
    bool any = false;
    // Whole groups of four shrink exactly as inside the whole text; the
    // short group at the very end is shrunk last, on its own.
    const auto flush = [&](std::size_t count) {
        keyed.cipher().Text(std::string_view(pending).substr(0, count));
        keyed.cipher().Shrink();
        keyed.doXor();
        write(keyed.cipher().TakeText());
        pending.erase(0, count);
    };
    BodyReport report;
    in.readBody([&](std::string_view chars) {
        any = true;
        report.length += chars.size();
        report.outsideAlphabet =
            report.outsideAlphabet || std::any_of(chars.begin(), chars.end(), [](char c) {
                return static_cast<unsigned char>(c) > kAlphabetTop;
            });
        while (!chars.empty()) {
            const std::size_t take = std::min(chars.size(), armourChunk - pending.size());
            pending.append(chars.substr(0, take));
            chars.remove_prefix(take);
            if (pending.size() == armourChunk) {
                flush(armourChunk);
            }
        }
    });
    if (!any) {
        throw err::invalidCall();  // Shrink of an empty body
    }
    if (!pending.empty()) {
        flush(pending.size());
    }
    return report;
}

std::string encryptBytes(std::string_view plaintext, std::string_view password,
                         std::string_view saltSeedText) {
    const std::string header = makeHeader(saltSeedText, password);
    std::string out;
    std::size_t pos = 0;
    encrypt(
        header,
        [&](char* buffer, std::size_t size) {
            const std::size_t n = std::min(size, plaintext.size() - pos);
            std::memcpy(buffer, plaintext.data() + pos, n);
            pos += n;
            return n;
        },
        [&](std::string_view data) { out.append(data); });
    return out;
}

std::optional<std::string> decryptBytes(std::string_view fileBytes, std::string_view password) {
    std::size_t pos = 0;
    Input in([&](char* buffer, std::size_t size) {
        const std::size_t n = std::min(size, fileBytes.size() - pos);
        std::memcpy(buffer, fileBytes.data() + pos, n);
        pos += n;
        return n;
    });
    const Input::HeaderLine header = in.readHeaderLine(Cipher::kMaxKeyLength);
    if (!headerAccepts(header.text, password)) {
        return std::nullopt;
    }
    if (header.longer) {
        throw err::overflow();
    }
    std::string out;
    decryptBody(header.text, in, [&](std::string_view data) { out.append(data); });
    return out;
}

}  // namespace grize::gri
