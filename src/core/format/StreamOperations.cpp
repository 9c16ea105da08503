#include "core/format/StreamOperations.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "core/format/GriDecoder.h"
#include "core/format/GriEncoder.h"
#include "errors/RuntimeError.h"

namespace grize {

namespace {

// The first bytes of a stream, read ahead to judge it, then handed on again
// before the rest.
class PeekedStream {
  public:
    explicit PeekedStream(const gri::ReadFn& read) : read_(read) {
        head_.resize(gri::kMarker.size());
        std::size_t got = 0;
        while (got < head_.size()) {
            const std::size_t n = read_(head_.data() + got, head_.size() - got);
            if (n == 0) {
                break;
            }
            got += n;
        }
        head_.resize(got);
    }

    bool beginsWithMarker() const { return head_ == gri::kMarker; }
    bool empty() const { return head_.empty(); }

    gri::ReadFn reader() {
        return [this](char* buffer, std::size_t size) {
            if (pos_ < head_.size()) {
                const std::size_t n = std::min(size, head_.size() - pos_);
                std::memcpy(buffer, head_.data() + pos_, n);
                pos_ += n;
                return n;
            }
            return read_(buffer, size);
        };
    }

  private:
    const gri::ReadFn& read_;
    std::string head_;
    std::size_t pos_ = 0;
};

}  // namespace

StreamOutcome encryptStream(const gri::ReadFn& read, const gri::WriteFn& write,
                            std::string_view password, std::string_view saltSeedText,
                            const kernels::Table& k) {
    PeekedStream in(read);
    if (in.empty()) {
        return StreamOutcome::Empty;  // as empty files are refused: nothing could open it
    }
    if (in.beginsWithMarker()) {
        return StreamOutcome::NotForThisMode;
    }
    gri::Encoder(gri::Header::make(saltSeedText, password), k).run(in.reader(), write);
    return StreamOutcome::Done;
}

StreamOutcome decryptStream(const gri::ReadFn& read, const gri::WriteFn& write,
                            const std::vector<std::string>& passwords, const kernels::Table& k) {
    PeekedStream peeked(read);
    if (!peeked.beginsWithMarker()) {
        return StreamOutcome::NotForThisMode;
    }
    gri::Decoder decoder(peeked.reader(), k);
    const gri::Header& header = decoder.header();
    if (!header.acceptsAny(passwords)) {
        return StreamOutcome::WrongPassword;
    }
    if (header.longer()) {
        return StreamOutcome::Undecryptable;
    }
    try {
        const gri::BodyReport body = decoder.decryptBody(write);
        return body.looksDamaged() ? StreamOutcome::Damaged : StreamOutcome::Done;
    } catch (const RuntimeError& e) {
        // An empty body fails before anything is written.
        if (e.kind() == ErrorKind::Damaged) {
            return StreamOutcome::Undecryptable;
        }
        throw;
    }
}

}  // namespace grize
