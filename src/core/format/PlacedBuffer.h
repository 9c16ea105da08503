#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>

namespace grize::gri {

// Memory for the reads or the writes of one stream, placed so that the
// address of each byte and its offset in the stream agree modulo 4096. The
// system copies between a buffer and the page cache several times slower on
// some processors when the two are a few bytes out of step, as a header
// line in front of the body would put them. Allocated once and uncleared: a
// small file touches only the first pages, and the system gives it no more.
class PlacedBuffer {
  public:
    static constexpr std::size_t kPlacement = 4096;

    explicit PlacedBuffer(std::size_t capacity)
        : memory_(static_cast<char*>(
              ::operator new[](capacity + kPlacement, std::align_val_t{kPlacement}))),
          capacity_(capacity) {}

    // Where the byte at the stream's current offset goes; `capacity()` bytes
    // fit from here on.
    char* data() const { return memory_.get() + offset_ % kPlacement; }
    std::size_t capacity() const { return capacity_; }
    // The stream has moved on by `n` bytes (read or written from data()).
    void advance(std::size_t n) { offset_ += n; }

  private:
    struct Release {
        void operator()(char* p) const { ::operator delete[](p, std::align_val_t{kPlacement}); }
    };
    std::unique_ptr<char, Release> memory_;
    std::size_t capacity_;
    std::uint64_t offset_ = 0;
};

}  // namespace grize::gri
