#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/cipher/Kernels.h"
#include "core/files/PlacedBuffer.h"

// The .gri layout, streamed: a header line (marker, salt, verifier) that is
// also the key string, then the armoured ciphertext in lines of 70 + CR LF.
// Chunked processing gives exactly the bytes the whole-text steps give.
namespace grize::gri {

inline constexpr std::string_view kMarker = "[Grized]";
inline constexpr std::size_t kHeaderLength = 24;
inline constexpr std::size_t kSaltOffset = 8;
inline constexpr std::size_t kVerifierOffset = 16;
inline constexpr std::size_t kFieldLength = 8;
inline constexpr std::size_t kLineLength = kernels::kLineChars;
inline constexpr std::string_view kLineEnd = "\r\n";

// 105 plaintext bytes armour to exactly two body lines, so chunks of a
// multiple of 105 never split a line.
inline constexpr std::size_t kPlainGroup = 105;
inline constexpr std::size_t kPlainChunk = kPlainGroup * 2560;  // about 256 KiB
// Armoured characters un-armoured at a time: whole groups of four.
inline constexpr std::size_t kArmourChunk = 4 * 65536;

// Fills up to `size` bytes; 0 only at the end of the data.
using ReadFn = std::function<std::size_t(char* buffer, std::size_t size)>;
using WriteFn = std::function<void(std::string_view data)>;

// "[Grized]" + hash(seed) + hash(salt + password).
std::string makeHeader(std::string_view saltSeedText, std::string_view password);

// The password test on the first line: the first occurrence of
// hash(salt + password) must begin at the 17th character. Only the first 24
// characters can matter.
bool headerAccepts(std::string_view headerLine, std::string_view password);
// Whether any of the forms a password may have been keyed with passes.
bool headerAcceptsAny(std::string_view headerLine, const std::vector<std::string>& passwords);

// The size of the file `encrypt` writes for `plainSize` bytes, and the
// plaintext size of a file of `fileSize` bytes laid out as encrypt lays it
// out (other layouts give other sizes): for reserving space up front.
std::uint64_t encryptedSize(std::size_t headerLength, std::uint64_t plainSize);
std::uint64_t decryptedSize(std::uint64_t fileSize);

// Writes the header line and the body of everything `read` yields.
void encrypt(std::string_view headerLine, const ReadFn& read, const WriteFn& write,
             std::size_t plainChunk = kPlainChunk);

// Buffered reading of an encrypted file, for its first line and its body.
// CR LF, CR alone and LF alone each end a line. Damage is read so that
// whatever survived keeps its place: a body byte outside the armour alphabet
// reads as the alphabet's first character, a byte where a line of the
// standard layout should have ended is taken as the lost line end, and
// control characters at the very end (padding after a crash) are dropped.
class Input {
  public:
    explicit Input(ReadFn read, std::size_t bufferSize = 256 * 1024);

    struct HeaderLine {
        std::string text;     // at most `keep` characters
        bool longer = false;  // the line has more than `keep` characters
    };
    // The first line: up to the first CR or LF, whatever its length. Reads
    // no further than `keep` + 1 characters into the line.
    HeaderLine readHeaderLine(std::size_t keep);

    // Fills `out` with the next body characters, all in the alphabet: every
    // line after the first, without its line end. Fewer than `room` only at
    // the end.
    std::size_t readBodyChars(char* out, std::size_t room);

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

// Signs of damage in a body: no encryption writes them.
struct BodyReport {
    std::uint64_t length = 0;      // body characters
    bool outsideAlphabet = false;  // a byte outside the armour alphabet
    bool endsWithLineEnd = true;   // false when cut inside the last line

    // Armour gives 4 characters for 3 bytes and 2 or 3 for the rest, never 1.
    bool looksDamaged(std::size_t headerLength) const {
        return headerLength != kHeaderLength || outsideAlphabet || !endsWithLineEnd ||
               length % 4 == 1;
    }
};

// Keys a cipher with the header line and writes the plaintext of the body
// that follows it in `in`. A body with no characters fails (err::damaged):
// nothing in it can be decrypted.
BodyReport decryptBody(std::string_view headerLine, Input& in, const WriteFn& write,
                       std::size_t armourChunk = kArmourChunk);

}  // namespace grize::gri
