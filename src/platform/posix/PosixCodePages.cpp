#include "platform/CodePages.h"

#include <iconv.h>

#include <algorithm>
#include <bit>

namespace grize {

namespace {

struct GconvTable {
    unsigned codePage;
    const char* name;
    bool singleByte;
};

// glibc's closest tables. Where they differ from Windows': none of them has
// the codes Windows gives C1 controls and private-use characters in the
// bytes a table leaves undefined; GBK lacks 0x80 for the euro sign; BIG5
// lacks the kana, Cyrillic and enclosed numbers of rows C6-C7.
constexpr GconvTable kTables[] = {
    {874, "CP874", true},   {932, "CP932", false},  {936, "GBK", false},    {949, "UHC", false},
    {950, "BIG5", false},   {1250, "CP1250", true}, {1251, "CP1251", true}, {1252, "CP1252", true},
    {1253, "CP1253", true}, {1254, "CP1254", true}, {1255, "CP1255", true}, {1256, "CP1256", true},
    {1257, "CP1257", true}, {1258, "CP1258", true},
};

constexpr const char* kUtf32 = std::endian::native == std::endian::little ? "UTF-32LE" : "UTF-32BE";

class Converter {
  public:
    Converter(const char* to, const char* from) : cd_(::iconv_open(to, from)) {}
    ~Converter() {
        if (ok()) {
            ::iconv_close(cd_);
        }
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

    // All of `in`, or nullopt when some of it has no exact code.
    std::optional<std::string> convert(std::string_view in) {
        ::iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        char* inPtr = const_cast<char*>(in.data());
        std::size_t inLeft = in.size();
        // Room for the most either direction makes of one character.
        std::string out(16 + 4 * in.size(), '\0');
        char* outPtr = out.data();
        std::size_t outLeft = out.size();
        // A null input flushes a character the converter still holds back
        // in case a combining mark follows.
        if (::iconv(cd_, &inPtr, &inLeft, &outPtr, &outLeft) != 0 ||
            ::iconv(cd_, nullptr, nullptr, &outPtr, &outLeft) != 0) {
            return std::nullopt;
        }
        out.resize(out.size() - outLeft);
        return out;
    }

  private:
    iconv_t cd_;
};

}  // namespace

std::optional<std::string> encodeInCodePage(std::u32string_view text, unsigned codePage) {
    const auto table = std::ranges::find(kTables, codePage, &GconvTable::codePage);
    if (table == std::ranges::end(kTables)) {
        return std::nullopt;
    }
    Converter encoder(table->name, kUtf32);
    Converter decoder(kUtf32, table->name);
    if (!encoder.ok() || !decoder.ok()) {
        return std::nullopt;
    }
    std::string out;
    for (const char32_t& c : text) {
        const std::string_view one(reinterpret_cast<const char*>(&c), sizeof c);
        const auto bytes = encoder.convert(one);
        // glibc spells some precomposed letters as a base and a combining
        // mark, and maps some characters one way only; Windows has no exact
        // code for either, so each character must be one byte in a
        // single-byte page and read back as itself.
        if (!bytes || (table->singleByte && bytes->size() != 1) || decoder.convert(*bytes) != one) {
            return std::nullopt;
        }
        out += *bytes;
    }
    return out;
}

std::optional<unsigned> systemAnsiCodePage() {
    return std::nullopt;
}

}  // namespace grize
