#include "TestPlatform.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cwchar>
#include <filesystem>
#include <stdexcept>

#include "TestFiles.h"

namespace grize::test {

namespace fs = std::filesystem;

std::string whyNot(Needs need) {
    switch (need) {
        case Needs::Nothing:
            return {};
        case Needs::PermissionModes:
            return "Windows keeps a read-only attribute, no permission bits";
        case Needs::RefusedPermissions:
            return "Windows refuses through access lists, not modes";
        case Needs::Fifos:
            return "no FIFOs on Windows";
        case Needs::Sockets:
            return "no socket files on Windows";
        case Needs::SymbolicLinks:
            return "symbolic links need a privilege on Windows";
        case Needs::RenameOpenFolder:
            return "Windows does not rename a folder a run holds open";
        case Needs::ForkedChild:
            return "no fork on Windows; CliProcess kills grize-cli.exe instead";
        case Needs::PosixShell:
            return "no POSIX shell or localedef on Windows";
        case Needs::Terminals:
            return "no job control on a Windows console";
        case Needs::OtherOwners:
            return "the tests run as one user with no privilege to give files away";
        case Needs::AccessLists:
            return "Windows keeps security descriptors, not POSIX access lists";
    }
    return "unknown need";
}

void setMode(const std::string& path, unsigned mode) {
    std::error_code ec;
    fs::permissions(fsPath(path), static_cast<fs::perms>(mode), ec);
}

unsigned modeOf(const std::string& path) {
    std::error_code ec;
    const fs::file_status st = fs::status(fsPath(path), ec);
    return ec ? 0 : static_cast<unsigned>(st.permissions() & fs::perms::mask);
}

std::string accessOf(const std::string&) {
    throw std::logic_error(whyNot(Needs::AccessLists));
}

void setOwner(const std::string&, const char*, const char*) {
    throw std::logic_error(whyNot(Needs::OtherOwners));
}

void addAccessDetails(const std::string&) {
    throw std::logic_error(whyNot(Needs::AccessLists));
}

void becomeUser(const char*, const char*) {
    throw std::logic_error(whyNot(Needs::OtherOwners));
}

void refuseAccessCalls() {
    throw std::logic_error(whyNot(Needs::ForkedChild));
}

void hide(const std::string& path) {
    const std::wstring wide = fsPath(path).wstring();
    ::SetFileAttributesW(wide.c_str(), ::GetFileAttributesW(wide.c_str()) | FILE_ATTRIBUTE_HIDDEN);
}

std::string perPlatform(const std::string&, const std::string& windows) {
    return windows;
}

void makeFifo(const std::string&) {
    throw std::logic_error(whyNot(Needs::Fifos));
}

int makeSocket(const std::string&) {
    throw std::logic_error(whyNot(Needs::Sockets));
}

void closeSocket(int) {}

int runInChild(int (*)(void*), void*, std::int64_t) {
    throw std::logic_error(whyNot(Needs::ForkedChild));
}

std::vector<Interruption> interruptions() {
    // Wine 8 delivers no Ctrl+Break sent this way, and a closed console
    // cannot be staged without a window.
    return {{"Ctrl+C", CTRL_C_EVENT, 128 + 2}};
}

namespace {

// One argument as the C runtime splits a command line.
std::wstring quoted(const std::wstring& arg) {
    std::wstring out = L"\"";
    std::size_t slashes = 0;
    for (wchar_t c : arg) {
        if (c == L'\\') {
            ++slashes;
            continue;
        }
        out.append(c == L'"' ? 2 * slashes + 1 : slashes, L'\\');
        slashes = 0;
        out += c;
    }
    out.append(2 * slashes, L'\\');
    return out + L"\"";
}

HANDLE openStream(const std::string& file, bool write) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    const std::wstring path = file.empty() ? L"NUL" : fsPath(file).wstring();
    const HANDLE h = ::CreateFileW(path.c_str(), write ? GENERIC_WRITE : GENERIC_READ,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, &inherit,
                                   write ? CREATE_ALWAYS : OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        throw std::runtime_error("cannot open " + file);
    }
    return h;
}

}  // namespace

Process::Process(const ProcessLaunch& launch) {
    // An absolute program path, so the folder the child starts in plays no part.
    std::wstring line = quoted(fs::absolute(fsPath(launch.args.at(0))).wstring());
    for (std::size_t i = 1; i < launch.args.size(); ++i) {
        line += L" " + quoted(fsPath(launch.args[i]).wstring());
    }
    std::wstring environment;
    if (!launch.environment.empty()) {
        wchar_t* block = ::GetEnvironmentStringsW();
        for (const wchar_t* p = block; *p; p += std::wcslen(p) + 1) {
            environment.append(p).push_back(L'\0');
        }
        ::FreeEnvironmentStringsW(block);
        for (const auto& [name, value] : launch.environment) {
            environment.append(fsPath(name + "=" + value).wstring()).push_back(L'\0');
        }
        environment.push_back(L'\0');
    }
    STARTUPINFOW start{};
    start.cb = sizeof start;
    // A console of its own, for Ctrl+C, kept out of sight.
    start.dwFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW;
    start.wShowWindow = SW_HIDE;
    start.hStdInput = openStream(launch.input, false);
    start.hStdOutput = openStream(launch.output, true);
    start.hStdError = openStream(launch.errors, true);
    const std::wstring folder = launch.folder.empty() ? L"" : fsPath(launch.folder).wstring();
    PROCESS_INFORMATION info{};
    BOOL started = FALSE;
    DWORD error = 0;
    // Wine, busy starting many children with consoles of their own, now and
    // then fails one before it runs (ERROR_INTERNAL_ERROR); the child did
    // nothing yet, so it is started again.
    for (int attempt = 0; attempt < 5 && !started; ++attempt) {
        started = ::CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE,
                                   CREATE_NEW_CONSOLE | CREATE_UNICODE_ENVIRONMENT,
                                   environment.empty() ? nullptr : environment.data(),
                                   folder.empty() ? nullptr : folder.c_str(), &start, &info);
        error = started ? 0 : ::GetLastError();
        if (error != ERROR_INTERNAL_ERROR) {
            break;
        }
        ::Sleep(50);
    }
    ::CloseHandle(start.hStdInput);
    ::CloseHandle(start.hStdOutput);
    ::CloseHandle(start.hStdError);
    if (!started) {
        throw std::runtime_error("CreateProcessW failed: " + std::to_string(error));
    }
    ::CloseHandle(info.hThread);
    id_ = reinterpret_cast<std::intptr_t>(info.hProcess);
    processId_ = info.dwProcessId;
}

Process::~Process() {
    if (!done_) {
        kill();
        wait();
    }
    ::CloseHandle(reinterpret_cast<HANDLE>(id_));
}

// The event goes to every process on a console: the test joins the child's
// console for the moment it sends it, ignoring the event itself.
void Process::interrupt(const Interruption& how) {
    ::FreeConsole();
    if (!::AttachConsole(processId_)) {
        return;
    }
    ::SetConsoleCtrlHandler(nullptr, TRUE);
    ::GenerateConsoleCtrlEvent(static_cast<DWORD>(how.code), 0);
    ::WaitForSingleObject(reinterpret_cast<HANDLE>(id_), 5000);
    ::FreeConsole();
    ::SetConsoleCtrlHandler(nullptr, FALSE);
}

void Process::kill() {
    ::TerminateProcess(reinterpret_cast<HANDLE>(id_), 137);
}

int Process::wait() {
    if (!done_) {
        const HANDLE process = reinterpret_cast<HANDLE>(id_);
        ::WaitForSingleObject(process, INFINITE);
        DWORD code = 0;
        ::GetExitCodeProcess(process, &code);
        status_ = static_cast<int>(code);
        done_ = true;
    }
    return status_;
}

void Process::type(const std::string&) {
    throw std::logic_error(whyNot(Needs::Terminals));
}

void Process::resume() {}

bool Process::echoes() {
    return false;
}

namespace {

// One key per test process: suites may run side by side in one Wine prefix.
const std::wstring kScratchKey =
    L"Software\\Grize tests scratch " + std::to_wstring(::GetCurrentProcessId());

HKEY keyOf(std::intptr_t key) {
    return reinterpret_cast<HKEY>(key);
}

}  // namespace

ScratchSettings::ScratchSettings(const std::string& folder) : folder_(folder) {
    clear();
}

ScratchSettings::~ScratchSettings() {
    ::RegCloseKey(keyOf(watchedKey_));
    ::CloseHandle(reinterpret_cast<HANDLE>(watch_));
    ::RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
    ::RegCloseKey(keyOf(key_));
    ::RegDeleteTreeW(HKEY_CURRENT_USER, kScratchKey.c_str());
}

void ScratchSettings::clear() {
    ::RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
    if (key_) {
        ::RegCloseKey(keyOf(key_));
    }
    ::RegDeleteTreeW(HKEY_CURRENT_USER, kScratchKey.c_str());
    HKEY key = nullptr;
    if (::RegCreateKeyExW(HKEY_CURRENT_USER, kScratchKey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                          nullptr, &key, nullptr) != ERROR_SUCCESS ||
        ::RegOverridePredefKey(HKEY_CURRENT_USER, key) != ERROR_SUCCESS) {
        throw std::runtime_error("no scratch key for HKEY_CURRENT_USER");
    }
    key_ = reinterpret_cast<std::intptr_t>(key);
}

void ScratchSettings::makeUnusable() {
    // A key deleted while open: nothing can be created, written or read in it.
    ::RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
    ::RegDeleteTreeW(HKEY_CURRENT_USER, kScratchKey.c_str());
    ::RegOverridePredefKey(HKEY_CURRENT_USER, keyOf(key_));
}

// A change notice on the settings key, asked for afresh.
void ScratchSettings::markWrites() {
    ::RegCloseKey(keyOf(watchedKey_));
    ::CloseHandle(reinterpret_cast<HANDLE>(watch_));
    watchedKey_ = watch_ = 0;
    HKEY key = nullptr;
    HANDLE event = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (event == nullptr ||
        ::RegOpenKeyExW(keyOf(key_), L"Software\\Ashgrove\\Grize", 0, KEY_NOTIFY, &key) !=
            ERROR_SUCCESS ||
        ::RegNotifyChangeKeyValue(key, FALSE, REG_NOTIFY_CHANGE_LAST_SET, event, TRUE) !=
            ERROR_SUCCESS) {
        throw std::runtime_error("no change notice on the settings key");
    }
    watchedKey_ = reinterpret_cast<std::intptr_t>(key);
    watch_ = reinterpret_cast<std::intptr_t>(event);
}

bool ScratchSettings::writtenSinceMark() {
    return ::WaitForSingleObject(reinterpret_cast<HANDLE>(watch_), 0) == WAIT_OBJECT_0;
}

}  // namespace grize::test
