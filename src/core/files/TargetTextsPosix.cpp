#include "core/files/TargetChecks.h"
#include "platform/PathRules.h"

namespace grize {

namespace {

// A folder as an absolute path, so that the text says where Grize looked.
std::string absoluteFolder(const std::string& folder) {
    const std::string current = folder.starts_with('/') ? std::string() : currentFolder();
    if (current.empty()) {
        return folder;
    }
    if (folder == ".") {
        return current;
    }
    return current + (current.ends_with('/') ? "" : "/") + folder;
}

std::string notFound(const std::string& path) {
    const PathParts parts = splitPath(path);
    if (parts.name.empty()) {
        return path + ": there is no such folder";  // a path ending in "/" names one
    }
    return parts.name + ": there is no such file in " + absoluteFolder(parts.folder);
}

}  // namespace

std::string targetCheckMessage(TargetCheck result, const std::string& path) {
    switch (result) {
        case TargetCheck::Ok:
            return {};
        case TargetCheck::NoPath:
            return "Usage:\r\nRight click a file in your file manager and select Grize-Encrypt.\r\n"
                   "The readme is " GRIZE_README_PATH ".";
        case TargetCheck::NotFound:
            return notFound(path);
        case TargetCheck::Folder:
            return path + " is a folder, not a file";
        case TargetCheck::Unexaminable:
            return path +
                   " cannot be examined:\r\nCheck that you may open every folder on its way.";
        case TargetCheck::Empty:
            return path + " is empty:\r\nGrize will NOT work with empty files.";
        case TargetCheck::ReadOnly:
            return path + " is read-only:\r\nGive yourself write permission and try again.";
        case TargetCheck::Hidden:
            return path + " is hidden:\r\nRename it without the leading dot and try again.";
        case TargetCheck::System:
            return path +
                   " is not a regular file:\r\nGrize will NOT work with links, pipes or devices.";
    }
    return {};
}

bool targetCheckNamesPath(TargetCheck result) {
    return result != TargetCheck::NoPath;
}

}  // namespace grize
