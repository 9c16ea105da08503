#include "core/format/GriFormat.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "core/cipher/Cipher.h"
#include "core/cipher/Hash.h"
#include "core/cipher/Kernels.h"
#include "errors/RuntimeError.h"

namespace grize::gri {

namespace {

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

constexpr unsigned char kAlphabetBottom = kArmourFirst;
constexpr unsigned char kAlphabetTop = kArmourLast;
constexpr std::size_t kGroupArmour = kPlainGroup / 3 * 4;                // two lines
constexpr std::size_t kGroupLines = kGroupArmour + 2 * kLineEnd.size();  // with their ends
// Plaintext groups XORed and armoured together, and body characters
// un-armoured and XORed together: small enough to stay in the first-level
// cache between the steps.
constexpr std::size_t kBlockGroups = 64;
constexpr std::size_t kBlockChars = 4 * 2048;
// Where pairs of standard lines may start again after other characters.
constexpr std::size_t kRealignPairs = 16;
constexpr std::size_t kRealign = kRealignPairs * kGroupArmour;

unsigned char* bytes(char* p) {
    return reinterpret_cast<unsigned char*>(p);
}
const unsigned char* bytes(const char* p) {
    return reinterpret_cast<const unsigned char*>(p);
}

// The keystream of a header line, continued chunk by chunk by the kernels.
class Keystream {
  public:
    explicit Keystream(std::string_view key) {
        Cipher cipher;
        cipher.setKey(key);
        state_ = cipher.keystreamState();
    }
    void apply(const kernels::Table& k, char* data, std::size_t n) {
        state_ = k.xorKeystream(state_, bytes(data), n);
    }

  private:
    std::uint32_t state_ = 0;
};

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

// Encrypts `n` bytes of `plain` in place and writes their lines to `out`;
// returns the length. Whole groups armour to whole lines, so the groups can
// go through the kernels and the short rest through stretch.
std::size_t encryptChunk(const kernels::Table& k, Keystream& keystream, char* plain, std::size_t n,
                         char* out) {
    char armour[kBlockGroups * kGroupArmour];
    std::size_t p = 0;
    std::size_t o = 0;
    while (n - p >= kPlainGroup) {
        const std::size_t groups = std::min(kBlockGroups, (n - p) / kPlainGroup);
        keystream.apply(k, plain + p, groups * kPlainGroup);
        k.stretch(bytes(plain + p), groups * kPlainGroup, bytes(armour));
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
        keystream.apply(k, plain + p, n - p);
        Cipher rest;
        rest.setText(std::string_view(plain + p, n - p));
        rest.stretch();
        o += appendLines(out + o, rest.text());
    }
    return o;
}

// Un-armours `n` body characters, all in the alphabet, into `out` and
// returns how many bytes that gave. A short group at the end (only in the
// last piece) is shrunk on its own, as in the whole text.
std::size_t unarmourChunk(const kernels::Table& k, const char* chars, std::size_t n, char* out) {
    const std::size_t whole = n / 4 * 4;
    k.shrink(bytes(chars), whole, bytes(out));
    std::size_t m = whole / 4 * 3;
    if (whole < n) {
        Cipher rest;
        rest.setText(std::string_view(chars + whole, n - whole));
        rest.shrink();
        const std::string tail = rest.takeText();
        std::memcpy(out + m, tail.data(), tail.size());
        m += tail.size();
    }
    return m;
}

bool inAlphabet(unsigned char c) {
    return c >= kAlphabetBottom && c <= kAlphabetTop;
}

// Control characters other than the line ends: a run of them at the very
// end is padding (a crash, a zeroed tail) and is dropped.
bool isHeldControl(unsigned char c) {
    return c < 0x20 && c != '\r' && c != '\n';
}

// The first CR or LF in `n` characters, or null.
const char* findLineEnd(const char* p, std::size_t n) {
    const auto* cr = static_cast<const char*>(std::memchr(p, '\r', n));
    const auto* lf =
        static_cast<const char*>(std::memchr(p, '\n', cr ? static_cast<std::size_t>(cr - p) : n));
    return lf ? lf : cr;
}

bool allInAlphabet(const char* chars, std::size_t n) {
    unsigned char outside = 0;
    for (std::size_t i = 0; i < n; ++i) {
        outside |= static_cast<unsigned char>(bytes(chars)[i] - kAlphabetBottom) >
                   kAlphabetTop - kAlphabetBottom;
    }
    return outside == 0;
}

// Reads each character outside the alphabet as its first one; whether there
// was any. Inside a standard line that is all the reading rules do: no line
// end can have been lost there.
bool replaceOutsideAlphabet(char* chars, std::size_t n) {
    if (allInAlphabet(chars, n)) {
        return false;
    }
    for (std::size_t i = 0; i < n; ++i) {
        if (!inAlphabet(bytes(chars)[i])) {
            chars[i] = static_cast<char>(kAlphabetBottom);
        }
    }
    return true;
}

// Lines converted to LF alone: 70 alphabet characters, then the LF. They
// read as the reading rules read them one by one, with nothing to replace.
kernels::Lines takeLfLines(const char* in, std::size_t n, char* out, std::size_t room) {
    kernels::Lines lines;
    while (lines.consumed + kLineLength < n && lines.produced + kLineLength <= room) {
        const char* line = in + lines.consumed;
        if (line[kLineLength] != '\n' || !allInAlphabet(line, kLineLength)) {
            break;
        }
        std::memcpy(out + lines.produced, line, kLineLength);
        lines.consumed += kLineLength + 1;
        lines.produced += kLineLength;
    }
    return lines;
}

}  // namespace

std::string makeHeader(std::string_view saltSeedText, std::string_view password) {
    const std::string salt = hash(saltSeedText);
    std::string salted = salt;
    salted.append(password);
    return std::string(kMarker) + salt + hash(salted);
}

bool headerAccepts(std::string_view headerLine, std::string_view password) {
    std::string salted(headerLine.substr(std::min(headerLine.size(), kSaltOffset), kFieldLength));
    salted.append(password);
    const std::string expected = hash(salted);
    return headerLine.substr(0, kHeaderLength).find(expected) == kVerifierOffset;
}

bool headerAcceptsAny(std::string_view headerLine, const std::vector<std::string>& passwords) {
    return std::any_of(passwords.begin(), passwords.end(), [&](const std::string& password) {
        return headerAccepts(headerLine, password);
    });
}

std::uint64_t encryptedSize(std::size_t headerLength, std::uint64_t plainSize) {
    const std::uint64_t armour = plainSize + (plainSize + 2) / 3;
    const std::uint64_t lines =
        std::max<std::uint64_t>(1, (armour + kLineLength - 1) / kLineLength);
    return headerLength + armour + (lines + 1) * kLineEnd.size();
}

std::uint64_t decryptedSize(std::uint64_t fileSize) {
    const std::uint64_t lineBytes = kLineLength + kLineEnd.size();
    const std::uint64_t body =
        fileSize - std::min<std::uint64_t>(fileSize, kHeaderLength + kLineEnd.size());
    const std::uint64_t armour = body - (body + lineBytes - 1) / lineBytes * kLineEnd.size();
    return armour == 0 ? 0 : (armour - 1) - (armour - 1) / 4;  // as shrink counts
}

void encrypt(std::string_view headerLine, const ReadFn& read, const WriteFn& write,
             std::size_t plainChunk) {
    if (plainChunk == 0 || plainChunk % kPlainGroup != 0) {
        throw err::invalidCall();
    }
    const kernels::Table& k = kernels::active();
    Keystream keystream(headerLine);
    PlacedBuffer plain(plainChunk);
    PlacedBuffer out(headerLine.size() + kLineEnd.size() + plainChunk / kPlainGroup * kGroupLines +
                     kGroupLines);
    // The header line goes out with the first chunk's lines.
    std::memcpy(out.data(), headerLine.data(), headerLine.size());
    std::memcpy(out.data() + headerLine.size(), kLineEnd.data(), kLineEnd.size());
    std::size_t o = headerLine.size() + kLineEnd.size();
    for (bool first = true;; first = false) {
        const std::size_t n = readFull(read, plain.data(), plainChunk);
        if (n == 0 && first) {
            // An empty body is still one (empty) line.
            std::memcpy(out.data() + o, kLineEnd.data(), kLineEnd.size());
            o += kLineEnd.size();
        }
        o += encryptChunk(k, keystream, plain.data(), n, out.data() + o);
        if (o != 0) {
            write(std::string_view(out.data(), o));
        }
        plain.advance(n);
        out.advance(o);
        o = 0;
        if (n < plainChunk) {
            break;
        }
    }
}

Input::Input(ReadFn read, std::size_t bufferSize)
    : read_(std::move(read)), size_(std::max<std::size_t>(bufferSize, 1)), buffer_(size_) {}

bool Input::fill() {
    if (atEnd_) {
        return false;
    }
    buffer_.advance(end_);
    window_ = buffer_.data();
    pos_ = 0;
    end_ = read_(window_, size_);
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
        const char* begin = window_ + pos_;
        const std::size_t room = keep - line.text.size();
        const std::size_t n = std::min(end_ - pos_, room + 1);
        const char* stop = findLineEnd(begin, n);
        const std::size_t span = stop ? static_cast<std::size_t>(stop - begin) : n;
        if (span > room) {
            line.text.append(begin, room);
            line.longer = true;
            pos_ += room;
            return line;
        }
        line.text.append(begin, span);
        pos_ += span;
        if (stop) {
            ++pos_;
            endHeader(*stop);
            return line;
        }
    }
}

void Input::endHeader(char lineEnd) {
    afterCr_ = lineEnd == '\r';
    if (!afterCr_) {
        endLength_ = 1;
    }
    lineStart_ = true;
    inFirstLine_ = false;
}

void Input::endLine() {
    standard_ = standard_ && lineChars_ == kLineLength;
    lineChars_ = 0;
    lineStart_ = true;
}

bool Input::readChar(unsigned char c, char& out) {
    if (c == '\n') {
        if (lostEnd_ != 0) {
            --lostEnd_;  // what is left of a line end that was partly lost
        } else if (afterCr_) {
            afterCr_ = false;
            endLength_ = 2;
        } else {
            endLine();
            endLength_ = 1;
        }
        return false;
    }
    if (c == '\r') {
        if (afterCr_) {
            endLength_ = 1;
        }
        lostEnd_ = 0;
        endLine();
        afterCr_ = true;
        return false;
    }
    if (!inAlphabet(c)) {
        return readDamaged(out);
    }
    if (afterCr_) {
        afterCr_ = false;
        endLength_ = 1;
    }
    lostEnd_ = 0;
    out = static_cast<char>(c);
    ++lineChars_;
    lineStart_ = false;
    return true;
}

bool Input::readDamaged(char& out) {
    damaged_ = true;
    if (lostEnd_ != 0) {
        --lostEnd_;
        return false;
    }
    if (afterCr_) {
        afterCr_ = false;
        if (standard_ && endLength_ == 2) {
            return false;  // the LF of that CR, lost
        }
        endLength_ = 1;
    }
    // Every line so far had 70 characters, so a line end belongs here: a
    // zeroed or garbled block wiped it. Taking the damage as that line end
    // keeps every later character in its place.
    if (standard_ && lineChars_ == kLineLength) {
        lostEnd_ = endLength_ - 1;
        endLine();
        return false;
    }
    out = static_cast<char>(kAlphabetBottom);
    ++lineChars_;
    lineStart_ = false;
    return true;
}

std::size_t Input::readBodyChars(char* out, std::size_t room) {
    const kernels::Table& k = kernels::active();
    std::size_t got = 0;
    while (got < room) {
        if (releasing_) {
            // A byte came after the held control characters: they were
            // damage in place, not padding at the end.
            for (; held_ != 0 && got < room; --held_) {
                got += readDamaged(out[got]) ? 1 : 0;
            }
            releasing_ = held_ != 0;
            continue;
        }
        if (pos_ == end_ && !fill()) {
            break;
        }
        if (inFirstLine_) {
            // The rest of a first line that was read only in part.
            const char* begin = window_ + pos_;
            const char* stop = findLineEnd(begin, end_ - pos_);
            if (!stop) {
                pos_ = end_;
                continue;
            }
            pos_ += static_cast<std::size_t>(stop - begin) + 1;
            endHeader(*stop);
            continue;
        }
        if (cleanLineStart()) {
            // A standard line reads the same wherever it starts: its 70
            // characters, then a CR and the LF that belongs to it.
            const kernels::Lines lines =
                k.takeLines(bytes(window_ + pos_), end_ - pos_, bytes(out + got), room - got);
            if (lines.consumed != 0) {
                damaged_ = replaceOutsideAlphabet(out + got, lines.produced) || damaged_;
                pos_ += lines.consumed;
                got += lines.produced;
                endLength_ = 2;
                continue;
            }
            const kernels::Lines lfLines =
                takeLfLines(window_ + pos_, end_ - pos_, out + got, room - got);
            if (lfLines.consumed != 0) {
                pos_ += lfLines.consumed;
                got += lfLines.produced;
                endLength_ = 1;
                continue;
            }
        }
        // Anything else character by character, up to the next line start.
        while (pos_ < end_ && got < room) {
            const auto c = static_cast<unsigned char>(window_[pos_]);
            if (isHeldControl(c)) {
                ++held_;
                ++pos_;
                damaged_ = true;
                continue;
            }
            if (held_ != 0) {
                releasing_ = true;
                break;
            }
            ++pos_;
            got += readChar(c, out[got]) ? 1 : 0;
            if (lineStart_) {
                break;
            }
        }
    }
    return got;
}

std::size_t Input::takeLinePairs(const kernels::Table& k, std::size_t most, char* out) {
    if (inFirstLine_ || (pos_ == end_ && !fill())) {
        return 0;
    }
    if (afterCr_ && held_ == 0 && window_[pos_] == '\n') {
        ++pos_;  // the rest of the line end before
        afterCr_ = false;
        endLength_ = 2;
    }
    if (!cleanLineStart()) {
        return 0;
    }
    const auto isEnd = [](const char* at) { return at[0] == '\r' && at[1] == '\n'; };
    const std::size_t pairBytes = 2 * (kLineLength + kLineEnd.size());
    std::size_t pairs = 0;
    for (const char* at = window_ + pos_;
         pairs < most && end_ - pos_ >= (pairs + 1) * pairBytes && isEnd(at + kLineLength) &&
         isEnd(at + pairBytes - kLineEnd.size());
         at += pairBytes) {
        ++pairs;
    }
    if (pairs == 0) {
        return 0;
    }
    const kernels::CharRange range = k.shrinkLinePairs(bytes(window_ + pos_), pairs, bytes(out));
    // A CR or LF inside a line is outside the alphabet too: only then do the
    // reading rules see anything but these characters.
    if (range.lowest < kAlphabetBottom || range.highest > kAlphabetTop) {
        return 0;
    }
    pos_ += pairs * pairBytes;
    endLength_ = 2;
    return pairs;
}

BodyReport decryptBody(std::string_view headerLine, Input& in, const WriteFn& write,
                       std::size_t armourChunk) {
    if (armourChunk == 0 || armourChunk % 4 != 0) {
        throw err::invalidCall();
    }
    const kernels::Table& k = kernels::active();
    Keystream keystream(headerLine);
    // Blocks of characters go through the steps while they are in cache;
    // their bytes gather into chunks for the writes.
    const std::size_t block = std::min(armourChunk, kBlockChars);
    const auto chars = std::make_unique_for_overwrite<char[]>(block);
    PlacedBuffer plain(armourChunk / 4 * 3 + 3);
    std::size_t inChunk = 0;  // characters
    std::size_t m = 0;        // bytes
    BodyReport report;
    for (;;) {
        std::size_t want = std::min(block, armourChunk - inChunk);
        // Pairs of standard lines go from the input buffer through shrink;
        // anything else, and the rest up to where pairs may start again,
        // through the reading rules.
        if (report.length % kGroupArmour == 0 && want >= kGroupArmour) {
            // Sixteen pairs are a whole number of vectors of any width here.
            const std::size_t most = want / kGroupArmour;
            const std::size_t pairs = in.takeLinePairs(
                k, most >= kRealignPairs ? most / kRealignPairs * kRealignPairs : most,
                plain.data() + m);
            if (pairs != 0) {
                keystream.apply(k, plain.data() + m, pairs * kPlainGroup);
                m += pairs * kPlainGroup;
                report.length += pairs * kGroupArmour;
                inChunk += pairs * kGroupArmour;
                if (inChunk == armourChunk) {
                    write(std::string_view(plain.data(), m));
                    plain.advance(m);
                    m = 0;
                    inChunk = 0;
                }
                continue;
            }
        }
        want = std::min(want, kRealign - report.length % kRealign);
        const std::size_t n = in.readBodyChars(chars.get(), want);
        report.length += n;
        const std::size_t got = unarmourChunk(k, chars.get(), n, plain.data() + m);
        keystream.apply(k, plain.data() + m, got);
        m += got;
        inChunk += n;
        if (n < want || inChunk == armourChunk) {
            if (m != 0) {
                write(std::string_view(plain.data(), m));
                plain.advance(m);
            }
            m = 0;
            inChunk = 0;
            if (n < want) {
                break;
            }
        }
    }
    if (report.length == 0) {
        throw err::damaged();
    }
    report.outsideAlphabet = in.sawDamage();
    report.endsWithLineEnd = in.atLineStart();
    return report;
}

}  // namespace grize::gri
