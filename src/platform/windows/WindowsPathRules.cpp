#include "platform/PathRules.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include "platform/FileSystem.h"
#include "platform/windows/WindowsFileSystem.h"

namespace grize {

const char* const kPathSeparator = "\\";
const char* const kPathSeparators = "\\/";

PathParts splitPath(const std::string& path) {
    const std::size_t slash = path.find_last_of(kPathSeparators);
    // "C:name" names an entry in the drive's current folder.
    const bool drive = path.size() >= 2 && path[1] == ':';
    if (slash == std::string::npos) {
        if (drive) {
            return {path.substr(0, 2), path.substr(2)};
        }
        return {".", path};
    }
    // A separator right after the root ("\", "C:\") belongs to the folder.
    const std::size_t root = drive ? 2 : 0;
    const std::size_t keep = slash == root ? slash + 1 : slash;
    return {path.substr(0, keep), path.substr(slash + 1)};
}

std::size_t nameUnits(char32_t character) {
    return character > 0xFFFF ? 2 : 1;
}

std::string currentFolder() {
    const DWORD size = ::GetCurrentDirectoryW(0, nullptr);
    std::wstring folder(size, L'\0');
    const DWORD length = size == 0 ? 0 : ::GetCurrentDirectoryW(size, folder.data());
    if (length == 0 || length >= size) {
        return {};  // failed, or changed between the two calls
    }
    folder.resize(length);
    return narrow(folder);
}

std::uint32_t attributeWord(const std::string& path, FileSystem& fs) {
    const FileInfo target = fs.status(path);
    if (target.kind == FileKind::Missing) {
        throw RuntimeError(ErrorKind::FileNotFound);
    }
    return target.attributes;
}

}  // namespace grize
