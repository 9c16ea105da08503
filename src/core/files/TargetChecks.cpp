#include "core/files/TargetChecks.h"

#include "core/format/GriFormat.h"
#include "platform/FileSystem.h"
#include "platform/PathRules.h"

namespace grize {

TargetCheck checkTarget(const std::string& path, FileSystem& fs) {
    if (path.empty()) {
        return TargetCheck::NoPath;
    }
    try {
        // Only stat calls: opening a FIFO would block.
        const FileInfo target = fs.status(path);
        // Windows' attribute bits from 32768 up (cloud placeholders, pinning,
        // integrity streams); the word holds none elsewhere.
        if (target.kind == FileKind::Missing || (target.attributes & attr::kHighBits) != 0) {
            return TargetCheck::NotFound;
        }
        if (target.kind == FileKind::Directory) {
            return TargetCheck::Folder;
        }
        // A FIFO or device has no length to speak of; it is refused below.
        if (target.kind == FileKind::Regular && target.size == 0) {
            return TargetCheck::Empty;
        }
        // Read once, then tested bit by bit.
        const std::uint32_t word = attributeWord(path, fs);
        if (word & attr::kReadOnly) {
            return TargetCheck::ReadOnly;
        }
        if (word & attr::kHidden) {
            return TargetCheck::Hidden;
        }
        if (word & attr::kSystem) {
            return TargetCheck::System;
        }
        return TargetCheck::Ok;
    } catch (const RuntimeError& error) {
        if (error.kind() == ErrorKind::OutOfMemory) {
            throw;  // a fault of this process, not of the path
        }
        // A name the system cannot hold (quotation marks on Windows) names
        // no file at all.
        if (error.kind() == ErrorKind::BadFileName) {
            return TargetCheck::NotFound;
        }
        return TargetCheck::Unexaminable;
    }
}

std::string firstBytes(const std::string& path, std::size_t size, FileSystem& fs) {
    const PathParts parts = splitPath(path);
    const FileHandle folder = fs.openFolder(parts.folder);
    // Opened in its folder without following a link, and only while it is
    // the regular file the checks saw; nothing is written, so the handle
    // closes quietly.
    const FileInfo entry = fs.statusAt(folder, parts.name);
    if (entry.kind == FileKind::Missing) {
        throw RuntimeError(ErrorKind::FileNotFound);
    }
    if (entry.kind != FileKind::Regular) {
        throw RuntimeError(ErrorKind::Access);
    }
    const FileHandle file = fs.openReadAt(folder, parts.name);
    if (!fs.info(file).sameFileAs(entry)) {
        throw RuntimeError(ErrorKind::Access);
    }
    std::string head(size, '\0');
    std::size_t got = 0;
    while (got < head.size()) {
        const std::size_t n = fs.read(file, head.data() + got, head.size() - got);
        if (n == 0) {
            break;
        }
        got += n;
    }
    head.resize(got);
    return head;
}

bool isEncryptedFile(const std::string& path, FileSystem& fs) {
    return firstBytes(path, gri::kMarker.size(), fs) == gri::kMarker;
}

}  // namespace grize
