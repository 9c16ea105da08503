#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "core/cipher/Kernels.h"
#include "core/format/GriFormat.h"
#include "core/format/PlacedBuffer.h"

namespace grize::gri {

// Buffered reading of an encrypted file, for its first line and its body.
// CR LF, CR alone and LF alone each end a line. Damage is read so that
// whatever survived keeps its place: a body byte outside the armour alphabet
// reads as the alphabet's first character, a byte where a line of the
// standard layout should have ended is taken as the lost line end, and
// control characters at the very end (padding after a crash) are dropped.
class Input {
  public:
    static constexpr std::size_t kBufferSize = 256 * 1024;

    explicit Input(ReadFn read, std::size_t bufferSize = kBufferSize);

    struct HeaderLine {
        std::string text;     // at most `keep` characters
        bool longer = false;  // the line has more than `keep` characters
    };
    // The first line: up to the first CR or LF, whatever its length. Reads
    // no further than `keep` + 1 characters into the line.
    HeaderLine readHeaderLine(std::size_t keep);

    // Fills `out` with the next body characters, all in the alphabet: every
    // line after the first, without its line end. Fewer than `room` only at
    // the end. Standard lines are taken whole through `k`.
    std::size_t readBodyChars(const kernels::Table& k, char* out, std::size_t room);

    // The last character read ended a line: at the end, the file was not cut
    // inside its last line.
    bool atLineStart() const { return lineStart_; }
    // A body byte was outside the alphabet: read as its first character,
    // taken as a lost line end or dropped at the end.
    bool sawDamage() const { return damaged_; }

    // Un-armours up to `most` pairs of standard lines (70 alphabet
    // characters, CR LF) straight from the buffer into `out`, 105 bytes a
    // pair, when the body is at the start of a line. Takes none when the next
    // pair is anything else or not all in the buffer.
    std::size_t takeLinePairs(const kernels::Table& k, std::size_t most, char* out);

  private:
    bool fill();
    // At the start of a line with nothing held back: where standard lines
    // may be taken whole.
    bool cleanLineStart() const {
        return lineStart_ && lineChars_ == 0 && !afterCr_ && lostEnd_ == 0 && held_ == 0;
    }
    void endHeader(char lineEnd);
    void endLine();
    // One body byte by the reading rules; false when it gave no character.
    bool readChar(unsigned char c, char& out);
    bool readDamaged(char& out);

    ReadFn read_;
    std::size_t size_;
    PlacedBuffer buffer_;
    char* window_ = nullptr;  // where the last read went
    std::size_t pos_ = 0;
    std::size_t end_ = 0;
    bool afterCr_ = false;    // an LF next belongs to the CR before
    bool lineStart_ = false;  // the last character read ended a line
    bool inFirstLine_ = true;
    bool atEnd_ = false;
    bool damaged_ = false;
    bool standard_ = true;       // every body line so far had 70 characters
    std::size_t lineChars_ = 0;  // in the current body line
    std::size_t endLength_ = 2;  // of the last line end seen
    std::size_t lostEnd_ = 0;    // bytes still to take as a lost line end
    std::uint64_t held_ = 0;     // control characters held back
    bool releasing_ = false;     // a byte came after them: they count
};

}  // namespace grize::gri
