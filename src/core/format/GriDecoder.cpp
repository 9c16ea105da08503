#include "core/format/GriDecoder.h"

#include <algorithm>
#include <string_view>
#include <utility>

#include "core/cipher/Cipher.h"
#include "errors/RuntimeError.h"

namespace grize::gri {

namespace {

// Body characters un-armoured and XORed together: small enough to stay in
// the first-level cache between the steps.
constexpr std::size_t kBlockChars = 4 * 2048;
// Where pairs of standard lines may start again after other characters.
constexpr std::size_t kRealignPairs = 16;
constexpr std::size_t kRealign = kRealignPairs * kGroupArmour;

std::size_t checkedChunk(std::size_t armourChunk) {
    if (armourChunk == 0 || armourChunk % 4 != 0) {
        throw RuntimeError(ErrorKind::InvalidCall);
    }
    return armourChunk;
}

// Un-armours `n` body characters, all in the alphabet, into `out` and
// returns how many bytes that gave. A short group at the end (only in the
// last piece) is shrunk on its own, as in the whole text.
std::size_t unarmourChunk(const kernels::Table& k, const char* chars, std::size_t n, char* out) {
    const std::size_t whole = n / 4 * 4;
    k.shrink(bytes(chars), whole, bytes(out));
    std::size_t m = whole / 4 * 3;
    if (whole < n) {
        shrinkInto(std::string_view(chars + whole, n - whole), out + m);
        m += shrunkSize(n - whole);
    }
    return m;
}

}  // namespace

Decoder::Decoder(ReadFn read, const kernels::Table& k, std::size_t bufferSize,
                 std::size_t armourChunk)
    : k_(k),
      in_(std::move(read), bufferSize),
      armourChunk_(checkedChunk(armourChunk)),
      block_(std::min(armourChunk, kBlockChars)),
      chars_(std::make_unique_for_overwrite<char[]>(block_)),
      plain_(armourChunk / 4 * 3 + 3) {}

const Header& Decoder::header() {
    if (!header_) {
        // Beyond the key limit the line is not kept: no key, so nothing can
        // be decrypted.
        Input::HeaderLine line = in_.readHeaderLine(Cipher::kMaxKeyLength);
        header_ = Header::parse(std::move(line.text), line.longer);
    }
    return *header_;
}

bool Decoder::takeLinePairs(std::size_t want) {
    if (length_ % kGroupArmour != 0 || want < kGroupArmour) {
        return false;
    }
    // Sixteen pairs are a whole number of vectors of any width here.
    const std::size_t most = want / kGroupArmour;
    const std::size_t pairs =
        in_.takeLinePairs(k_, most >= kRealignPairs ? most / kRealignPairs * kRealignPairs : most,
                          plain_.data() + chunkBytes_);
    if (pairs == 0) {
        return false;
    }
    keystream_->apply(k_, plain_.data() + chunkBytes_, pairs * kPlainGroup);
    chunkBytes_ += pairs * kPlainGroup;
    chunkChars_ += pairs * kGroupArmour;
    length_ += pairs * kGroupArmour;
    return true;
}

bool Decoder::readChars(std::size_t want) {
    want = std::min(want, kRealign - length_ % kRealign);
    const std::size_t n = in_.readBodyChars(k_, chars_.get(), want);
    const std::size_t got = unarmourChunk(k_, chars_.get(), n, plain_.data() + chunkBytes_);
    keystream_->apply(k_, plain_.data() + chunkBytes_, got);
    chunkBytes_ += got;
    chunkChars_ += n;
    length_ += n;
    return n == want;
}

void Decoder::flush(const WriteFn& write) {
    if (chunkBytes_ != 0) {
        write(std::string_view(plain_.data(), chunkBytes_));
        plain_.advance(chunkBytes_);
    }
    chunkBytes_ = 0;
    chunkChars_ = 0;
}

BodyReport Decoder::decryptBody(const WriteFn& write) {
    keystream_.emplace(header().line());
    // Blocks of characters go through the steps while they are in cache;
    // their bytes gather into chunks for the writes. Pairs of standard lines
    // go from the input buffer through shrink; anything else, and the rest
    // up to where pairs may start again, through the reading rules.
    for (;;) {
        const std::size_t want = std::min(block_, armourChunk_ - chunkChars_);
        if (!takeLinePairs(want) && !readChars(want)) {
            break;
        }
        if (chunkChars_ == armourChunk_) {
            flush(write);
        }
    }
    flush(write);
    if (length_ == 0) {
        throw RuntimeError(ErrorKind::Damaged);
    }
    BodyReport report;
    report.length = length_;
    report.standardHeader = header().standardLength();
    report.outsideAlphabet = in_.sawDamage();
    report.endsWithLineEnd = in_.atLineStart();
    return report;
}

}  // namespace grize::gri
