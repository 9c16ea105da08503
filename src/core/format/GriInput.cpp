#include "core/format/GriInput.h"

#include <algorithm>
#include <cstring>

#include "core/cipher/Cipher.h"

namespace grize::gri {

namespace {

constexpr unsigned char kAlphabetBottom = kArmourFirst;
constexpr unsigned char kAlphabetTop = kArmourLast;

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

std::size_t Input::readBodyChars(const kernels::Table& k, char* out, std::size_t room) {
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

}  // namespace grize::gri
