#include "core/format/age/ByteInput.h"

#include <algorithm>
#include <cstring>

namespace grize::age {

ByteInput::ByteInput(ReadFn read, std::size_t capacity)
    : read_(std::move(read)), capacity_(capacity), buffer_(new char[capacity]) {}

std::string_view ByteInput::fill(std::size_t n) {
    n = std::min(n, capacity_);
    if (end_ - begin_ < n && !ended_) {
        if (begin_ + n > capacity_) {
            std::memmove(buffer_.get(), buffer_.get() + begin_, end_ - begin_);
            end_ -= begin_;
            begin_ = 0;
        }
        while (end_ - begin_ < n) {
            const std::size_t got = read_(buffer_.get() + end_, capacity_ - end_);
            if (got == 0) {
                ended_ = true;
                break;
            }
            end_ += got;
        }
    }
    return available();
}

std::optional<std::string> ByteInput::line(std::size_t maxLength) {
    std::size_t searched = 0;
    for (;;) {
        const std::string_view v = available();
        const std::size_t lf = v.find('\n', searched);
        if (lf != std::string_view::npos) {
            if (lf > maxLength) {
                return std::nullopt;
            }
            std::string text(v.substr(0, lf));
            consume(lf + 1);
            return text;
        }
        if (v.size() > maxLength) {
            return std::nullopt;
        }
        searched = v.size();
        // No progress: the data ended, or the window is full.
        if (fill(searched + 1).size() == searched) {
            return std::nullopt;
        }
    }
}

}  // namespace grize::age
