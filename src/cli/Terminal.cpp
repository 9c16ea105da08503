#include "Terminal.h"

#include "PasswordBytes.h"

namespace grize::cli {

std::u32string Terminal::decodeText(const std::string& bytes) {
    return decodeUtf8(bytes);
}

}  // namespace grize::cli
