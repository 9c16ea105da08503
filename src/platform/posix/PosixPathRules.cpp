#include "PathRules.h"

namespace grize {

const char* const kPathSeparator = "/";
const char* const kPathSeparators = "/";

PathParts splitPath(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return {".", path};
    }
    return {slash == 0 ? std::string("/") : path.substr(0, slash), path.substr(slash + 1)};
}

}  // namespace grize
