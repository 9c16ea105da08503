#include "platform/windows/WindowsFileSystem.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>
// Needs the types from windows.h.
#include <aclapi.h>

#include <cwctype>
#include <memory>
#include <string>

namespace grize {

std::string narrow(const std::wstring& text);

namespace {

ErrorKind kindOf(unsigned long error) {
    switch (error) {
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
        case ERROR_CANT_RESOLVE_FILENAME:  // a link loop
            return ErrorKind::Access;
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_DIRECTORY:
            return ErrorKind::FileNotFound;
        case ERROR_FILE_EXISTS:
        case ERROR_ALREADY_EXISTS:
            return ErrorKind::FileExists;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            return ErrorKind::DiskFull;
        case ERROR_WRITE_PROTECT:
            return ErrorKind::ReadOnlyFileSystem;
        case ERROR_FILENAME_EXCED_RANGE:
            return ErrorKind::NameTooLong;
        case ERROR_INVALID_NAME:
        case ERROR_BAD_PATHNAME:
            return ErrorKind::BadFileName;
        case ERROR_NOT_ENOUGH_MEMORY:
        case ERROR_OUTOFMEMORY:
            return ErrorKind::OutOfMemory;
        default:
            return ErrorKind::DeviceIo;
    }
}

// The system's words for an error, without the full stop and line end.
std::string causeOf(unsigned long error) {
    wchar_t* text = nullptr;
    const DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    if (length == 0 || text == nullptr) {
        return "system error " + std::to_string(error);
    }
    std::wstring words(text, length);
    ::LocalFree(text);
    while (!words.empty() && (words.back() == L'\n' || words.back() == L'\r' ||
                              words.back() == L'.' || words.back() == L' ')) {
        words.pop_back();
    }
    if (!words.empty()) {
        words[0] = static_cast<wchar_t>(std::towlower(words[0]));
    }
    return narrow(words);
}

}  // namespace

RuntimeError errorFromWin32(unsigned long error, Step step) {
    ErrorContext context;
    context.step = step;
    context.osError = static_cast<int>(error);
    context.cause = causeOf(error);
    return RuntimeError(kindOf(error), std::move(context));
}

std::wstring widen(const std::string& text) {
    if (text.empty()) {
        return {};
    }
    if (text.find('\0') != std::string::npos) {
        throw RuntimeError(ErrorKind::BadFileName);
    }
    const int size = ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(),
                                           static_cast<int>(text.size()), nullptr, 0);
    if (size <= 0) {
        throw RuntimeError(ErrorKind::BadFileName);
    }
    std::wstring wide(static_cast<std::size_t>(size), L'\0');
    ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()),
                          wide.data(), size);
    return wide;
}

std::string narrow(const std::wstring& text) {
    if (text.empty()) {
        return {};
    }
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                           nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(),
                          size, nullptr, nullptr);
    return bytes;
}

namespace {

[[noreturn]] void fail(Step step) {
    throw errorFromWin32(::GetLastError(), step);
}

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

using OwnHandle = std::unique_ptr<void, decltype(&::CloseHandle)>;

// What CreateFileW gave, owned by `fs`; throws its failure.
FileHandle own(FileSystem& fs, HANDLE handle) {
    if (handle == INVALID_HANDLE_VALUE) {
        fail(Step::Open);
    }
    return FileHandle(fs, reinterpret_cast<FileHandle::Native>(handle));
}

HANDLE handleOf(const FileHandle& file) {
    return reinterpret_cast<HANDLE>(file.get());
}

std::int64_t unixNs(const FILETIME& time) {
    const std::uint64_t ticks =
        (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
    return static_cast<std::int64_t>(ticks - 116444736000000000ull) * 100;
}

FileInfo infoOf(HANDLE handle) {
    BY_HANDLE_FILE_INFORMATION data{};
    if (!::GetFileInformationByHandle(handle, &data)) {
        fail(Step::Inspect);
    }
    FileInfo info;
    const DWORD attributes = data.dwFileAttributes;
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
        info.kind = FileKind::Symlink;
    } else if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
        info.kind = FileKind::Directory;
    } else if (::GetFileType(handle) == FILE_TYPE_DISK) {
        info.kind = FileKind::Regular;
    } else {
        info.kind = FileKind::Other;
    }
    info.size = (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    // The read-only attribute is the one permission bit there is.
    info.mode = (attributes & FILE_ATTRIBUTE_READONLY) ? 0444u : 0666u;
    info.device = data.dwVolumeSerialNumber;
    info.inode = (static_cast<std::uint64_t>(data.nFileIndexHigh) << 32) | data.nFileIndexLow;
    info.modifiedNs = unixNs(data.ftLastWriteTime);
    info.ownedByMe = true;
    info.attributes = attributes;
    info.links = data.nNumberOfLinks;
    return info;
}

FileInfo statusOf(const std::wstring& path, DWORD flags) {
    const HANDLE handle = ::CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr,
                                        OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | flags, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
            return {};
        }
        throw errorFromWin32(error, Step::Inspect);
    }
    const OwnHandle owned(handle, &::CloseHandle);
    return infoOf(handle);
}

std::wstring join(const std::wstring& folder, const std::string& name) {
    if (name.find_first_of("\\/") != std::string::npos) {
        throw RuntimeError(ErrorKind::BadFileName);
    }
    std::wstring path = folder;
    if (!path.empty() && path.back() != L'\\' && path.back() != L'/') {
        path += L'\\';
    }
    return path + widen(name);
}

// What the file system cannot do or the process may not: FAT keeps no
// security, and another owner takes a privilege.
bool refusedHere(DWORD error) {
    return error == ERROR_NOT_SUPPORTED || error == ERROR_INVALID_FUNCTION ||
           error == ERROR_PRIVILEGE_NOT_HELD || error == ERROR_INVALID_OWNER ||
           error == ERROR_INVALID_PRIMARY_GROUP;
}

using Descriptor = std::unique_ptr<void, decltype(&::LocalFree)>;

void copySecurity(HANDLE from, HANDLE to) {
    PSID owner = nullptr;
    PSID group = nullptr;
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR raw = nullptr;
    const DWORD got = ::GetSecurityInfo(
        from, SE_FILE_OBJECT,
        OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner,
        &group, &dacl, nullptr, &raw);
    if (got != ERROR_SUCCESS) {
        if (refusedHere(got)) {
            return;
        }
        throw errorFromWin32(got, Step::SetAccess);
    }
    const Descriptor descriptor(raw, &::LocalFree);
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    if (!::GetSecurityDescriptorControl(raw, &control, &revision)) {
        fail(Step::SetAccess);
    }
    // The output was opened to be written; setting its owner and access list
    // takes a handle of its own, which can read too, as Wine needs. Its owner
    // may always set the list.
    constexpr DWORD kList = GENERIC_READ | WRITE_DAC;
    HANDLE opened = ::ReOpenFile(to, kList | WRITE_OWNER, kShareAll, 0);
    const bool mayOwn = opened != INVALID_HANDLE_VALUE;
    if (!mayOwn) {
        opened = ::ReOpenFile(to, kList, kShareAll, 0);
        if (opened == INVALID_HANDLE_VALUE) {
            return;
        }
    }
    const OwnHandle changer(opened, &::CloseHandle);
    const auto set = [&](SECURITY_INFORMATION part, PSID newOwner, PSID newGroup, PACL newDacl) {
        const DWORD error = ::SetSecurityInfo(changer.get(), SE_FILE_OBJECT, part, newOwner,
                                              newGroup, newDacl, nullptr);
        if (error != ERROR_SUCCESS && !refusedHere(error)) {
            throw errorFromWin32(error, Step::SetAccess);
        }
    };
    if (mayOwn) {
        set(OWNER_SECURITY_INFORMATION, owner, nullptr, nullptr);
        set(GROUP_SECURITY_INFORMATION, nullptr, group, nullptr);
    }
    // Inherited entries come from the same folder, so they stay what they are.
    set(DACL_SECURITY_INFORMATION |
            ((control & SE_DACL_PROTECTED) ? PROTECTED_DACL_SECURITY_INFORMATION
                                           : UNPROTECTED_DACL_SECURITY_INFORMATION),
        nullptr, nullptr, dacl);
}

// Attributes that say how the file is to be treated. Not the archive bit: it
// marks a file changed since the last backup, as a new one is.
constexpr DWORD kKeptAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                  FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

void copyAttributes(HANDLE from, HANDLE to) {
    FILE_BASIC_INFO source{};
    FILE_BASIC_INFO output{};
    if (!::GetFileInformationByHandleEx(from, FileBasicInfo, &source, sizeof source) ||
        !::GetFileInformationByHandleEx(to, FileBasicInfo, &output, sizeof output)) {
        fail(Step::SetAccess);
    }
    FILE_BASIC_INFO change{};  // times of zero stay as they are
    change.FileAttributes =
        (output.FileAttributes & ~kKeptAttributes) | (source.FileAttributes & kKeptAttributes);
    if (change.FileAttributes == 0) {
        change.FileAttributes = FILE_ATTRIBUTE_NORMAL;
    }
    if (!::SetFileInformationByHandle(to, FileBasicInfo, &change, sizeof change)) {
        fail(Step::SetAccess);
    }
}

FileHandle openForReading(FileSystem& fs, const std::wstring& path, DWORD flags) {
    return own(fs, ::CreateFileW(path.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL | flags, nullptr));
}

// The system gives a folder's path with the long-path prefix, under which
// names are taken literally; without it, names joined to it are read as a
// path the user gave always was (trailing dots and spaces dropped).
std::wstring withoutLongPrefix(const std::wstring& path) {
    if (path.starts_with(L"\\\\?\\UNC\\")) {
        return L"\\\\" + path.substr(8);
    }
    if (path.starts_with(L"\\\\?\\")) {
        return path.substr(4);
    }
    return path;
}

}  // namespace

namespace {

// The folder's path as Windows names it now; empty when it has no such name.
std::wstring finalPath(HANDLE handle, DWORD volumeName) {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD size =
            ::GetFinalPathNameByHandleW(handle, path.data(), static_cast<DWORD>(path.size()),
                                        FILE_NAME_NORMALIZED | volumeName);
        if (size == 0) {
            return {};
        }
        if (size < path.size()) {
            path.resize(size);
            return path;
        }
        path.resize(size);  // the room needed, with the terminating zero
    }
}

}  // namespace

std::wstring WindowsFileSystem::folderPath(const FileHandle& folder) {
    const HANDLE handle = handleOf(folder);
    if (const std::wstring path = finalPath(handle, VOLUME_NAME_DOS); !path.empty()) {
        return withoutLongPrefix(path);
    }
    // A volume without a drive letter (mounted in a folder only) has a GUID
    // name, which is a path only with its prefix.
    if (std::wstring path = finalPath(handle, VOLUME_NAME_GUID); !path.empty()) {
        return path;
    }
    fail(Step::Inspect);
}

FileHandle WindowsFileSystem::openRead(const std::string& path) {
    return openForReading(*this, widen(path), 0);
}

std::size_t WindowsFileSystem::read(const FileHandle& file, char* buffer, std::size_t size) {
    DWORD got = 0;
    const DWORD want = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30));
    if (!::ReadFile(handleOf(file), buffer, want, &got, nullptr)) {
        if (::GetLastError() == ERROR_BROKEN_PIPE) {
            return 0;
        }
        fail(Step::Read);
    }
    return got;
}

void WindowsFileSystem::write(const FileHandle& file, std::string_view data) {
    while (!data.empty()) {
        DWORD put = 0;
        const DWORD want = static_cast<DWORD>(std::min<std::size_t>(data.size(), 1u << 30));
        if (!::WriteFile(handleOf(file), data.data(), want, &put, nullptr)) {
            fail(Step::Write);
        }
        if (put == 0) {
            throw RuntimeError(ErrorKind::DeviceIo);
        }
        data.remove_prefix(put);
    }
}

void WindowsFileSystem::reserve(const FileHandle& file, std::uint64_t size) {
    // Space past the end of the file is given back when it is closed.
    FILE_ALLOCATION_INFO allocation{};
    allocation.AllocationSize.QuadPart = static_cast<LONGLONG>(size);
    ::SetFileInformationByHandle(handleOf(file), FileAllocationInfo, &allocation,
                                 sizeof allocation);
}

void WindowsFileSystem::startWriteback(const FileHandle&, std::uint64_t, std::uint64_t) {
    // Nothing starts the cache manager's writes early short of waiting for
    // them (FlushFileBuffers), so the final flush does it all.
}

void WindowsFileSystem::waitWriteback(const FileHandle&, std::uint64_t, std::uint64_t) {
    // Nothing was started early (startWriteback), so nothing to wait for.
}

void WindowsFileSystem::sync(const FileHandle& file) {
    if (!::FlushFileBuffers(handleOf(file))) {
        fail(Step::Sync);
    }
}

void WindowsFileSystem::truncate(const FileHandle& file) {
    FILE_END_OF_FILE_INFO end{};
    if (!::SetFileInformationByHandle(handleOf(file), FileEndOfFileInfo, &end, sizeof end)) {
        fail(Step::Write);
    }
}

void WindowsFileSystem::setMode(const FileHandle& file, unsigned mode) {
    FILE_BASIC_INFO basic{};
    const HANDLE handle = handleOf(file);
    if (!::GetFileInformationByHandleEx(handle, FileBasicInfo, &basic, sizeof basic)) {
        fail(Step::SetAccess);
    }
    if (mode & 0200u) {
        basic.FileAttributes &= ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY);
    } else {
        basic.FileAttributes |= FILE_ATTRIBUTE_READONLY;
    }
    if (basic.FileAttributes == 0) {
        basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
    }
    if (!::SetFileInformationByHandle(handle, FileBasicInfo, &basic, sizeof basic)) {
        fail(Step::SetAccess);
    }
}

void WindowsFileSystem::copyAccess(const FileHandle& from, const FileHandle& to) {
    const HANDLE source = handleOf(from);
    const HANDLE output = handleOf(to);
    copySecurity(source, output);
    copyAttributes(source, output);
}

FileInfo WindowsFileSystem::info(const FileHandle& file) {
    return infoOf(handleOf(file));
}

void WindowsFileSystem::close(FileHandle::Native file) {
    if (!::CloseHandle(reinterpret_cast<HANDLE>(file))) {
        fail(Step::Write);
    }
}

FileInfo WindowsFileSystem::status(const std::string& path) {
    return statusOf(widen(path), 0);
}

FileInfo WindowsFileSystem::linkStatus(const std::string& path) {
    return statusOf(widen(path), FILE_FLAG_OPEN_REPARSE_POINT);
}

FileHandle WindowsFileSystem::openFolder(const std::string& path) {
    // Without delete sharing: nobody renames or removes the folder meanwhile,
    // so the path the handle gives stays the folder's.
    FileHandle folder =
        own(*this, ::CreateFileW(widen(path).c_str(), FILE_READ_ATTRIBUTES | FILE_LIST_DIRECTORY,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                 FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (infoOf(handleOf(folder)).kind != FileKind::Directory) {
        throw RuntimeError(ErrorKind::FileNotFound);
    }
    return folder;
}

FileHandle WindowsFileSystem::openReadAt(const FileHandle& folder, const std::string& name) {
    FileHandle file =
        openForReading(*this, join(folderPath(folder), name), FILE_FLAG_OPEN_REPARSE_POINT);
    if (infoOf(handleOf(file)).kind == FileKind::Symlink) {
        throw RuntimeError(ErrorKind::Access);  // like a link refused by O_NOFOLLOW
    }
    return file;
}

FileHandle WindowsFileSystem::createNewAt(const FileHandle& folder, const std::string& name,
                                          unsigned mode) {
    const std::wstring path = join(folderPath(folder), name);
    const HANDLE handle =
        ::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, kShareAll, nullptr, CREATE_NEW,
                      (mode & 0200u) ? FILE_ATTRIBUTE_NORMAL : FILE_ATTRIBUTE_READONLY, nullptr);
    if (handle == INVALID_HANDLE_VALUE && ::GetLastError() == ERROR_FILE_EXISTS) {
        return {};
    }
    return own(*this, handle);
}

FileInfo WindowsFileSystem::statusAt(const FileHandle& folder, const std::string& name) {
    return statusOf(join(folderPath(folder), name), FILE_FLAG_OPEN_REPARSE_POINT);
}

void WindowsFileSystem::renameAt(const FileHandle& folder, const std::string& from,
                                 const std::string& to) {
    const std::wstring base = folderPath(folder);
    if (!::MoveFileExW(join(base, from).c_str(), join(base, to).c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        fail(Step::Rename);
    }
}

bool WindowsFileSystem::renameNoReplaceAt(const FileHandle& folder, const std::string& from,
                                          const std::string& to) {
    // A second name of the same file may be renamed onto (so Wine does): a
    // taken name is looked for first, and the move still refuses a newcomer.
    if (statusAt(folder, to).kind != FileKind::Missing) {
        return false;
    }
    const std::wstring base = folderPath(folder);
    if (!::MoveFileExW(join(base, from).c_str(), join(base, to).c_str(), MOVEFILE_WRITE_THROUGH)) {
        const DWORD error = ::GetLastError();
        if (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS) {
            return false;
        }
        throw errorFromWin32(error, Step::Rename);
    }
    return true;
}

void WindowsFileSystem::removeAt(const FileHandle& folder, const std::string& name) {
    if (!::DeleteFileW(join(folderPath(folder), name).c_str())) {
        fail(Step::Remove);
    }
}

LinkResult WindowsFileSystem::linkAt(const FileHandle& folder, const std::string& existing,
                                     const std::string& newName) {
    const std::wstring base = folderPath(folder);
    if (::CreateHardLinkW(join(base, newName).c_str(), join(base, existing).c_str(), nullptr)) {
        return LinkResult::Done;
    }
    const DWORD error = ::GetLastError();
    if (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS) {
        return LinkResult::NameTaken;
    }
    if (error == ERROR_INVALID_FUNCTION || error == ERROR_NOT_SUPPORTED ||
        error == ERROR_ACCESS_DENIED) {
        return LinkResult::Unsupported;
    }
    throw errorFromWin32(error, Step::Create);
}

bool WindowsFileSystem::refusesRemoval(const FileHandle&) {
    // Windows marks no file or folder append-only or immutable.
    return false;
}

bool WindowsFileSystem::copiesUp(const FileHandle&) {
    return false;
}

void WindowsFileSystem::syncFolder(const FileHandle&) {
    // A folder cannot be flushed here; renames are written through instead.
}

std::vector<std::string> WindowsFileSystem::listFolder(const FileHandle& folder) {
    const std::wstring pattern = join(folderPath(folder), "*");
    WIN32_FIND_DATAW entry{};
    const HANDLE find = ::FindFirstFileW(pattern.c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE) {
        fail(Step::Inspect);
    }
    const std::unique_ptr<void, decltype(&::FindClose)> search(find, &::FindClose);
    std::vector<std::string> names;
    do {
        const std::wstring name = entry.cFileName;
        if (name != L"." && name != L"..") {
            names.push_back(narrow(name));
        }
    } while (::FindNextFileW(find, &entry));
    return names;
}

LockResult WindowsFileSystem::tryLock(FileHandle& file) {
    BY_HANDLE_FILE_INFORMATION data{};
    if (!::GetFileInformationByHandle(handleOf(file), &data)) {
        return LockResult::Unsupported;
    }
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        // Byte-range locks do not work on folders. The folder is opened again,
        // asking to add files and letting nobody else ask the same, and that
        // handle to the same folder takes the place of the first.
        const HANDLE locked =
            ::ReOpenFile(handleOf(file), FILE_READ_ATTRIBUTES | FILE_LIST_DIRECTORY | FILE_ADD_FILE,
                         FILE_SHARE_READ, FILE_FLAG_BACKUP_SEMANTICS);
        if (locked == INVALID_HANDLE_VALUE) {
            return ::GetLastError() == ERROR_SHARING_VIOLATION ? LockResult::Busy
                                                               : LockResult::Unsupported;
        }
        file = FileHandle(*this, reinterpret_cast<FileHandle::Native>(locked));
        return LockResult::Locked;
    }
    OVERLAPPED at{};
    if (::LockFileEx(handleOf(file), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0,
                     &at)) {
        return LockResult::Locked;
    }
    return ::GetLastError() == ERROR_LOCK_VIOLATION ? LockResult::Busy : LockResult::Unsupported;
}

FileSystem& defaultFileSystem() {
    static WindowsFileSystem fs;
    return fs;
}

}  // namespace grize
