#include "PathHelpers.h"

#include "FileSystem.h"
#include "RuntimeError.h"

namespace grize {

bool FileExists(const std::string& Filename) {
    if (Filename.empty()) {
        return false;
    }
    try {
        // A bit of 32768 or more does not fit the classic 16-bit word.
        const std::uint32_t word = attributeWord(Filename, defaultFileSystem());
        return (word & attr::kDirectory) == 0 && word < 32768;
    } catch (...) {
        return false;  // cannot be examined: as good as absent
    }
}

std::string GetFileName(const std::string& bron, const std::string& vSlash) {
    if (vSlash.size() != 1) {
        return bron;
    }
    const std::size_t at = bron.rfind(vSlash[0]);
    return at == std::string::npos ? bron : bron.substr(at + 1);
}

std::string replaceExtension(const std::string& fileANDpath, const std::string& newExtension) {
    if (fileANDpath.size() < 4) {
        throw err::invalidCall();
    }
    // Dropping a separator would put the output in another folder.
    if (fileANDpath.find_first_of(kPathSeparators, fileANDpath.size() - 4) != std::string::npos) {
        throw err::badFileName();
    }
    return fileANDpath.substr(0, fileANDpath.size() - 4) + newExtension;
}

}  // namespace grize
