#include "platform/PathRules.h"

#include <unistd.h>

#include <cerrno>

#include "platform/FileSystem.h"

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

std::size_t nameUnits(char32_t) {
    return 1;
}

std::string currentFolder() {
    std::string folder(256, '\0');
    while (::getcwd(folder.data(), folder.size()) == nullptr) {
        if (errno != ERANGE) {
            return {};
        }
        folder.resize(folder.size() * 2);
    }
    folder.resize(folder.find('\0'));
    return folder;
}

std::uint32_t attributeWord(const std::string& path, FileSystem& fs) {
    const FileInfo target = fs.status(path);
    if (target.kind == FileKind::Missing) {
        throw RuntimeError(ErrorKind::FileNotFound);
    }
    std::uint32_t word = 0;
    // From the mode bits, not from access(): root could write anyway.
    if ((target.mode & 0200u) == 0) {
        word |= attr::kReadOnly;
    }
    if (splitPath(path).name.starts_with('.')) {
        word |= attr::kHidden;
    }
    if (target.kind == FileKind::Directory) {
        word |= attr::kDirectory;
    } else if (target.kind != FileKind::Regular || fs.linkStatus(path).kind == FileKind::Symlink) {
        word |= attr::kSystem;
    }
    return word;
}

}  // namespace grize
