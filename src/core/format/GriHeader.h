#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// The first line of a .gri file: "[Grized]", the salt and the verifier, 8
// characters each. The whole line, whatever its length, is the key string.
namespace grize::gri {

inline constexpr std::string_view kMarker = "[Grized]";
inline constexpr std::size_t kHeaderLength = 24;

class Header {
  public:
    // "[Grized]" + hash(seed) + hash(salt + password).
    static Header make(std::string_view saltSeedText, std::string_view password);
    // The first line as read, without its line end. `longer`: the file's line
    // went on past `line`, beyond what any key may hold.
    static Header parse(std::string line, bool longer = false);

    // The key string of the body's keystream.
    const std::string& line() const { return line_; }
    bool longer() const { return longer_; }
    // Any other length is no header encryption writes.
    bool standardLength() const { return line_.size() == kHeaderLength && !longer_; }

    // The 8-character fields, shorter or empty on a short line.
    std::string_view salt() const;
    std::string_view verifier() const;

    // The password test: the first occurrence of hash(salt + password) in
    // the first 24 characters must begin at the 17th. Only those 24 matter.
    bool accepts(std::string_view password) const;
    // Whether any of the forms a password may have been keyed with passes.
    bool acceptsAny(const std::vector<std::string>& passwords) const;

  private:
    Header(std::string line, bool longer) : line_(std::move(line)), longer_(longer) {}

    std::string line_;
    bool longer_ = false;
};

}  // namespace grize::gri
