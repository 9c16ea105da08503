#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "core/format/age/AgeFormat.h"

namespace grize::age {

// A window onto a stream: look ahead up to `capacity` bytes, then consume.
class ByteInput {
  public:
    ByteInput(ReadFn read, std::size_t capacity);

    // Makes at least `n` (at most the capacity) bytes available unless the
    // data ends first; returns all that is available.
    std::string_view fill(std::size_t n);
    std::string_view available() const { return {buffer_.get() + begin_, end_ - begin_}; }
    void consume(std::size_t n) { begin_ += n; }
    std::size_t capacity() const { return capacity_; }

    // The next line without its LF, consumed with it; nullopt when no LF
    // comes within `maxLength` bytes or before the end.
    std::optional<std::string> line(std::size_t maxLength);

  private:
    ReadFn read_;
    std::size_t capacity_;
    std::unique_ptr<char[]> buffer_;
    std::size_t begin_ = 0;
    std::size_t end_ = 0;
    bool ended_ = false;
};

}  // namespace grize::age
