#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "core/format/age/AgeFormat.h"
#include "core/format/age/ByteInput.h"

// The age format's ASCII armor: strict PEM (RFC 7468, section 3) labelled
// "AGE ENCRYPTED FILE", padded base64 in lines of 64 characters, the last
// shorter or full, whitespace allowed only before and after the block. Both
// directions stream, a line at a time.
namespace grize::age {

// Whitespace the armor may have around it.
bool isArmorSpace(char c);

class ArmorReader {
  public:
    explicit ArmorReader(ByteInput& in) : in_(in) {}

    // Up to `size` decoded bytes; 0 only at the end of a well-formed block
    // with nothing but whitespace after it. Throws Error(Failure::Armor).
    std::size_t read(char* out, std::size_t size);

  private:
    void begin();
    // Decodes the next line into `into` (48 bytes), its size in lineSize_;
    // false at the end line.
    bool nextLine(unsigned char* into);

    ByteInput& in_;
    bool started_ = false;
    bool done_ = false;
    bool lastLine_ = false;  // a short or padded line came: only the end line may follow
    std::string_view eol_;   // the line end of the first line, kept throughout
    unsigned char line_[kArmorLine / 4 * 3];
    std::size_t linePos_ = 0;
    std::size_t lineSize_ = 0;
};

class ArmorWriter {
  public:
    // Writes the first line.
    explicit ArmorWriter(const WriteFn& write);

    void put(std::string_view bytes);
    // Writes the last, shorter line if any and the end line.
    void finish();

  private:
    // Encodes whole lines of `bytes` (a multiple of 48) into out_.
    void lines(const char* bytes, std::size_t size);
    void flush();

    const WriteFn& write_;
    std::string pending_;  // fewer than 48 bytes, waiting for a whole line
    std::string out_;
};

}  // namespace grize::age
