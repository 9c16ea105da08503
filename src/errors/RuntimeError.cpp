#include "errors/RuntimeError.h"

namespace grize {

namespace {

struct Shown {
    int number;
    std::string_view description;
};

// The numbers and descriptions earlier versions showed, which users and
// their notes know the errors by.
Shown shown(ErrorKind kind) {
    switch (kind) {
        case ErrorKind::InvalidCall:
            return {5, "Invalid procedure call or argument"};
        case ErrorKind::Overflow:
        case ErrorKind::PasswordTooLong:
            return {6, "Overflow"};
        case ErrorKind::OutOfMemory:
            return {7, "Out of memory"};
        case ErrorKind::Internal:
            return {51, "Internal error"};
        case ErrorKind::BadFileName:
        case ErrorKind::NameTooLong:
            return {52, "Bad file name or number"};
        case ErrorKind::FileNotFound:
            return {53, "File not found"};
        case ErrorKind::DeviceIo:
            return {57, "Device I/O error"};
        case ErrorKind::FileExists:
            return {58, "File already exists"};
        case ErrorKind::DiskFull:
            return {61, "Disk full"};
        case ErrorKind::FolderBusy:
            return {70, "Another Grize is working in this folder; try again in a moment"};
        case ErrorKind::Access:
        case ErrorKind::ReadOnlyFileSystem:
            return {75, "Path/File access error"};
        case ErrorKind::InvalidProperty:
            return {380, "Invalid property value"};
        case ErrorKind::SourceChanged:
            return {1001, "The file changed while Grize was reading it"};
        case ErrorKind::DamagedInPlace:
            return {1002, "The damaged file would be replaced by its own output"};
        case ErrorKind::OutputReadOnly:
            return {1003, "The file at the output's name is read-only"};
        case ErrorKind::Cancelled:
            return {1004, "Cancelled"};
        case ErrorKind::Damaged:
            return {1005, "The encrypted file is damaged; nothing in it could be decrypted"};
        case ErrorKind::FileSizeLimit:
            return {1006, "The file-size limit was reached"};
        case ErrorKind::FolderRefuses:
            return {1007,
                    "The folder does not allow files to be renamed or removed "
                    "(append-only or immutable)"};
        case ErrorKind::AgeHeader:
            return {1008, "The age file's header is not valid"};
        case ErrorKind::AgeAltered:
            return {1009, "The age file was changed or damaged"};
        case ErrorKind::AgeArmor:
            return {1010, "The armored age file is not valid"};
        case ErrorKind::AgeNotPassphrase:
            return {1011, "The age file was encrypted to a key, not with a passphrase"};
        case ErrorKind::AgeWorkFactor:
            return {1012, "The age file's work factor is too high"};
    }
    return {51, "Internal error"};
}

}  // namespace

int shownNumber(ErrorKind kind) {
    return shown(kind).number;
}

std::string_view shownDescription(ErrorKind kind) {
    return shown(kind).description;
}

RuntimeError::RuntimeError(ErrorKind kind, ErrorContext context)
    : RuntimeError(kind, std::string(shownDescription(kind)), std::move(context)) {}

RuntimeError::RuntimeError(ErrorKind kind, std::string description, ErrorContext context)
    : std::runtime_error(description),
      kind_(kind),
      description_(std::move(description)),
      context_(std::move(context)) {}

RuntimeError RuntimeError::internal(std::string description) {
    return RuntimeError(ErrorKind::Internal, std::move(description), {});
}

}  // namespace grize
