#include "core/format/age/AgeHeader.h"

#include <algorithm>
#include <limits>

#include "core/format/age/AgeError.h"
#include "core/format/age/AgeFormat.h"
#include "core/format/age/Base64.h"

namespace grize::age {

namespace {

// Generous for any stanza the age format defines (hybrid ones take some
// 1,500 characters), and a bound on what a damaged file makes us hold.
constexpr std::size_t kMaxHeader = 1 << 20;
constexpr std::string_view kScryptLabel = "age-encryption.org/v1/scrypt";
constexpr std::string_view kMacInfo = "header";
constexpr std::size_t kMacChars = 43;  // 32 bytes, unpadded
constexpr std::size_t kBodyColumns = 64;

[[noreturn]] void fail(const std::string& what) {
    throw Error(Failure::Header, "age header: " + what);
}

bool isArgumentChar(char c) {
    return c >= 0x21 && c <= 0x7e;  // VCHAR
}

Key macKey(const FileKey& fileKey) {
    return crypto::hkdf(fileKey.data(), fileKey.size(), {}, kMacInfo);
}

// ^[1-9][0-9]*$, within int.
std::optional<int> parseLogN(std::string_view s) {
    if (s.empty() || s[0] < '1' || s[0] > '9' || s.size() > 9) {
        return std::nullopt;
    }
    int v = 0;
    for (char c : s) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        v = v * 10 + (c - '0');
    }
    return v;
}

ScryptStanza checkScrypt(const Stanza& s, std::size_t stanzaCount, int maxLogN) {
    // A passphrase's stanza must be alone: anyone who can add another
    // could read the file without it.
    if (stanzaCount != 1) {
        fail("an scrypt stanza must be the only stanza");
    }
    if (s.args.size() != 3) {
        fail("an scrypt stanza takes a salt and a work factor");
    }
    ScryptStanza out;
    const auto salt = base64::decode(s.args[1]);
    if (!salt || salt->size() != 16) {
        fail("the scrypt salt is not 16 bytes in canonical base64");
    }
    const auto logN = parseLogN(s.args[2]);
    if (!logN) {
        fail("the scrypt work factor is not a plain decimal number");
    }
    if (s.body.size() != FileKey::size() + kTagSize) {
        fail("the scrypt stanza's body is not 32 bytes");
    }
    if (*logN > maxLogN) {
        throw Error(Failure::WorkFactorTooHigh,
                    "age header: the scrypt work factor 2^" + std::to_string(*logN) +
                        " is above the limit 2^" + std::to_string(maxLogN),
                    *logN);
    }
    out.salt = *salt;
    out.logN = *logN;
    out.body = s.body;
    return out;
}

}  // namespace

Header Header::parse(ByteInput& in, int maxLogN) {
    Header h;
    std::string& text = h.macInput_;
    const auto line = [&]() -> std::string {
        const std::size_t room = kMaxHeader - std::min(kMaxHeader, text.size());
        auto l = in.line(std::min(room, in.capacity() - 1));
        if (!l) {
            fail(text.size() >= kMaxHeader ? "longer than any header"
                                           : "cut short, or a line too long");
        }
        return *l;
    };

    if (line() != kVersionLine) {
        fail("not the version line \"" + std::string(kVersionLine) + "\"");
    }
    text.append(kVersionLine).push_back('\n');
    for (;;) {
        std::string l = line();
        if (l.starts_with("---")) {
            if (h.stanzas_.empty()) {
                fail("no recipient stanza");
            }
            const auto mac = l.size() == 4 + kMacChars && l[3] == ' '
                                 ? base64::decode(std::string_view(l).substr(4))
                                 : std::nullopt;
            if (!mac || mac->size() != h.mac_.size()) {
                fail("the MAC line is not \"--- \" and 32 bytes in canonical base64");
            }
            std::copy(mac->begin(), mac->end(), h.mac_.begin());
            text.append("---");
            break;
        }
        if (!l.starts_with("-> ")) {
            fail("a line that is neither a stanza nor the MAC");
        }
        text.append(l).push_back('\n');
        Stanza s;
        std::string_view rest = std::string_view(l).substr(3);
        for (;;) {
            const std::size_t sp = rest.find(' ');
            const std::string_view arg = rest.substr(0, sp);
            if (arg.empty() || !std::all_of(arg.begin(), arg.end(), isArgumentChar)) {
                fail("a stanza argument that is empty or not printable ASCII");
            }
            s.args.emplace_back(arg);
            if (sp == std::string_view::npos) {
                break;
            }
            rest.remove_prefix(sp + 1);
        }
        // Body lines of 64 columns; the first shorter one, maybe empty, ends it.
        std::string body;
        for (;;) {
            const std::string b = line();
            if (b.size() > kBodyColumns) {
                fail("a stanza body line longer than 64 columns");
            }
            text.append(b).push_back('\n');
            body += b;
            if (b.size() < kBodyColumns) {
                break;
            }
        }
        const auto decoded = base64::decode(body);
        if (!decoded) {
            fail("a stanza body that is not canonical unpadded base64");
        }
        s.body = *decoded;
        h.stanzas_.push_back(std::move(s));
    }
    for (const Stanza& s : h.stanzas_) {
        if (s.args[0] == "scrypt") {
            h.scrypt_ = checkScrypt(s, h.stanzas_.size(), maxLogN);
        }
    }
    return h;
}

Header Header::forPassphrase(const FileKey& fileKey, std::string_view passphrase, int logN,
                             const std::atomic<bool>* stop) {
    Header h;
    ScryptStanza s;
    s.salt.resize(16);
    crypto::randomBytes(reinterpret_cast<unsigned char*>(s.salt.data()), s.salt.size());
    s.logN = logN;
    s.body.resize(FileKey::size() + kTagSize);
    const Key wrapKey = crypto::scrypt(passphrase, std::string(kScryptLabel) + s.salt, logN, stop);
    crypto::seal(wrapKey, {}, fileKey.data(), fileKey.size(),
                 reinterpret_cast<unsigned char*>(s.body.data()));
    h.stanzas_.push_back({{"scrypt", base64::encode(s.salt), std::to_string(logN)}, s.body});
    h.scrypt_ = std::move(s);
    h.macInput_ = h.macInput();
    h.mac_ = crypto::hmac(macKey(fileKey), h.macInput_);
    return h;
}

std::string Header::macInput() const {
    std::string out(kVersionLine);
    out.push_back('\n');
    for (const Stanza& s : stanzas_) {
        out.append("->");
        for (const std::string& a : s.args) {
            out.append(" ").append(a);
        }
        out.push_back('\n');
        // Lines of 64 and a shorter last one, empty when the rest divides.
        const std::string body = base64::encode(s.body);
        for (std::size_t i = 0;; i += kBodyColumns) {
            out.append(std::string_view(body).substr(i, kBodyColumns)).push_back('\n');
            if (body.size() - i < kBodyColumns) {
                break;
            }
        }
    }
    out.append("---");
    return out;
}

std::string Header::text() const {
    return macInput_ + " " +
           base64::encode(
               std::string_view(reinterpret_cast<const char*>(mac_.data()), mac_.size())) +
           "\n";
}

bool Header::macMatches(const FileKey& fileKey) const {
    return crypto::hmacVerify(macKey(fileKey), macInput_, mac_.data());
}

}  // namespace grize::age
