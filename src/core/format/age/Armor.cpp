#include "core/format/age/Armor.h"

#include <algorithm>
#include <cstring>

#include "core/format/age/AgeError.h"
#include "core/format/age/Base64.h"

namespace grize::age {

namespace {

constexpr std::size_t kLineBytes = kArmorLine / 4 * 3;
// Encoded text written at a time.
constexpr std::size_t kOutLines = 1024;

[[noreturn]] void fail(const std::string& what) {
    throw Error(Failure::Armor, "Armored age file: " + what);
}

}  // namespace

bool isArmorSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

void ArmorReader::begin() {
    started_ = true;
    for (;;) {
        const std::string_view v = in_.fill(in_.capacity());
        const auto* text = std::find_if_not(v.begin(), v.end(), isArmorSpace);
        in_.consume(static_cast<std::size_t>(text - v.begin()));
        if (text != v.end() || v.empty()) {
            break;
        }
    }
    const std::string_view v = in_.fill(kArmorBegin.size() + 2);
    if (!v.starts_with(kArmorBegin)) {
        fail("the first line is not \"" + std::string(kArmorBegin) + "\"");
    }
    const std::string_view rest = v.substr(kArmorBegin.size());
    if (rest.starts_with("\n")) {
        eol_ = "\n";
    } else if (rest.starts_with("\r\n")) {
        eol_ = "\r\n";
    } else {
        fail("the first line does not end after its label");
    }
    in_.consume(kArmorBegin.size() + eol_.size());
}

bool ArmorReader::nextLine(unsigned char* into) {
    std::string_view v = in_.fill(kArmorLine + eol_.size());
    // Most lines: 64 characters of unpadded base64 and the line end.
    if (!lastLine_ && v.size() >= kArmorLine + eol_.size() &&
        v.substr(kArmorLine).starts_with(eol_)) {
        if (base64::decode(v.substr(0, kArmorLine), into, false)) {
            in_.consume(kArmorLine + eol_.size());
            lineSize_ = kLineBytes;
            linePos_ = 0;
            return true;
        }
    }
    if (v.starts_with(kArmorEnd)) {
        // The end line, then whitespace only (its line end among it, if any).
        in_.consume(kArmorEnd.size());
        for (;;) {
            v = in_.fill(in_.capacity());
            if (v.empty()) {
                return false;
            }
            if (!std::all_of(v.begin(), v.end(), isArmorSpace)) {
                fail("data follows the end line");
            }
            in_.consume(v.size());
        }
    }
    if (v.empty()) {
        fail("the end line is missing");
    }
    if (lastLine_) {
        fail("a line follows the short last line");
    }
    std::size_t n = 0;
    while (n < v.size() && n < kArmorLine && (base64::isAlphabet(v[n]) || v[n] == '=')) {
        ++n;
    }
    if (n == 0) {
        fail("an empty line or a character outside base64");
    }
    if (!v.substr(n).starts_with(eol_)) {
        fail(n == kArmorLine ? "a line longer than 64 characters"
                             : "a character outside base64, or a line without its end");
    }
    const std::string_view text = v.substr(0, n);
    lastLine_ = n < kArmorLine || text.back() == '=';
    const auto size = base64::decode(text, into, true);
    if (!size) {
        fail("a line that is not canonical padded base64");
    }
    in_.consume(n + eol_.size());
    linePos_ = 0;
    lineSize_ = *size;
    return true;
}

std::size_t ArmorReader::read(char* out, std::size_t size) {
    if (!started_) {
        begin();
    }
    std::size_t done = 0;
    while (done < size && !done_) {
        if (linePos_ < lineSize_) {
            const std::size_t n = std::min(size - done, lineSize_ - linePos_);
            std::memcpy(out + done, line_ + linePos_, n);
            linePos_ += n;
            done += n;
            continue;
        }
        // Straight into `out` when a whole line fits.
        const bool direct = size - done >= kLineBytes;
        if (!nextLine(direct ? reinterpret_cast<unsigned char*>(out + done) : line_)) {
            done_ = true;
        } else if (direct) {
            done += lineSize_;
            lineSize_ = 0;
        }
    }
    return done;
}

ArmorWriter::ArmorWriter(const WriteFn& write) : write_(write) {
    out_.reserve(kOutLines * (kArmorLine + 1));
    out_.append(kArmorBegin).push_back('\n');
}

void ArmorWriter::lines(const char* bytes, std::size_t size) {
    const auto* in = reinterpret_cast<const unsigned char*>(bytes);
    for (std::size_t i = 0; i < size; i += kLineBytes) {
        const std::size_t at = out_.size();
        out_.resize(at + kArmorLine + 1);
        base64::encode(in + i, kLineBytes, out_.data() + at, true);
        out_.back() = '\n';
        if (out_.size() >= kOutLines * (kArmorLine + 1)) {
            flush();
        }
    }
}

void ArmorWriter::flush() {
    if (!out_.empty()) {
        write_(out_);
        out_.clear();
    }
}

void ArmorWriter::put(std::string_view bytes) {
    if (!pending_.empty()) {
        const std::size_t take = std::min(bytes.size(), kLineBytes - pending_.size());
        pending_.append(bytes.substr(0, take));
        bytes.remove_prefix(take);
        if (pending_.size() < kLineBytes) {
            return;
        }
        lines(pending_.data(), kLineBytes);
        pending_.clear();
    }
    const std::size_t whole = bytes.size() / kLineBytes * kLineBytes;
    lines(bytes.data(), whole);
    pending_.assign(bytes.substr(whole));
}

void ArmorWriter::finish() {
    if (!pending_.empty()) {
        out_.append(base64::encode(pending_, true)).push_back('\n');
        pending_.clear();
    }
    out_.append(kArmorEnd).push_back('\n');
    flush();
}

}  // namespace grize::age
