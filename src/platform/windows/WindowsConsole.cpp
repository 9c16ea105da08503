#include "platform/Console.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <atomic>
#include <cstring>

#include "platform/windows/WindowsFileSystem.h"

namespace grize {

namespace {

// The console's input mode while a password is read with echo off, for
// restoreConsole to put back.
std::atomic<HANDLE> echoOffInput{nullptr};
std::atomic<DWORD> savedMode{0};

void writeConsole(HANDLE out, const std::wstring& text) {
    DWORD written = 0;
    ::WriteConsoleW(out, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

std::u32string toUtf32(const std::wstring& text) {
    std::u32string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char32_t unit = text[i];
        if (unit >= 0xD800 && unit < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] < 0xE000) {
            out.push_back(0x10000 + ((unit - 0xD800) << 10) + (text[i + 1] - 0xDC00));
            ++i;
        } else {
            out.push_back(unit);
        }
    }
    return out;
}

std::error_code errorCode(DWORD error) {
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
            return std::make_error_code(std::errc::no_such_file_or_directory);
        case ERROR_ACCESS_DENIED:
            return std::make_error_code(std::errc::permission_denied);
        default:
            return {static_cast<int>(error), std::system_category()};
    }
}

// The same file by volume and index; never for pipes and consoles, which
// have no index.
bool sameFile(HANDLE a, HANDLE b) {
    BY_HANDLE_FILE_INFORMATION one{};
    BY_HANDLE_FILE_INFORMATION two{};
    return a != nullptr && a != INVALID_HANDLE_VALUE && ::GetFileInformationByHandle(a, &one) &&
           ::GetFileInformationByHandle(b, &two) &&
           one.dwVolumeSerialNumber == two.dwVolumeSerialNumber &&
           one.nFileIndexHigh == two.nFileIndexHigh && one.nFileIndexLow == two.nFileIndexLow;
}

}  // namespace

PasswordFileLine readPasswordFile(const std::string& path, bool refuseStandardInput) {
    PasswordFileLine result;
    std::wstring wide;
    try {
        wide = widen(path);
    } catch (const RuntimeError&) {
        result.error = std::make_error_code(std::errc::invalid_argument);
        return result;
    }
    const HANDLE file =
        ::CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        result.error = errorCode(::GetLastError());
        return result;
    }
    if (refuseStandardInput && sameFile(::GetStdHandle(STD_INPUT_HANDLE), file)) {
        ::CloseHandle(file);
        result.isStandardInput = true;
        return result;
    }
    char buffer[4096];
    const DWORD step = ::GetFileType(file) == FILE_TYPE_DISK ? sizeof buffer : 1;
    std::string line;
    bool any = false;
    for (;;) {
        DWORD got = 0;
        if (!::ReadFile(file, buffer, step, &got, nullptr)) {
            const DWORD error = ::GetLastError();
            if (error == ERROR_BROKEN_PIPE) {
                break;  // the writer closed its end
            }
            ::CloseHandle(file);
            result.error = errorCode(error);
            return result;
        }
        if (got == 0) {
            break;
        }
        any = true;
        const auto* end = static_cast<const char*>(std::memchr(buffer, '\n', got));
        line.append(buffer, end ? static_cast<std::size_t>(end - buffer) : got);
        if (end) {
            break;
        }
    }
    ::CloseHandle(file);
    if (any) {
        result.line = std::move(line);
    }
    return result;
}

std::optional<std::string> readHiddenLine(const std::string& prompt) {
    const HANDLE in =
        ::CreateFileW(L"CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                      nullptr, OPEN_EXISTING, 0, nullptr);
    if (in == INVALID_HANDLE_VALUE) {
        return std::nullopt;
    }
    const HANDLE out =
        ::CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                      nullptr, OPEN_EXISTING, 0, nullptr);
    DWORD mode = 0;
    const bool haveMode = ::GetConsoleMode(in, &mode) != 0;
    if (out != INVALID_HANDLE_VALUE) {
        writeConsole(out, widen(prompt + " "));
    }
    if (haveMode) {
        savedMode = mode;
        echoOffInput = in;
        ::SetConsoleMode(in, (mode | ENABLE_LINE_INPUT) & ~static_cast<DWORD>(ENABLE_ECHO_INPUT));
    }
    // UTF-16 from the console: every character, whatever the code pages.
    std::wstring line;
    bool ended = false;
    for (;;) {
        wchar_t c = 0;
        DWORD got = 0;
        if (!::ReadConsoleW(in, &c, 1, &got, nullptr) || got == 0) {
            break;
        }
        if (c == L'\n') {
            ended = true;
            break;
        }
        line.push_back(c);
    }
    if (haveMode) {
        ::SetConsoleMode(in, mode);
        echoOffInput = nullptr;
    }
    if (out != INVALID_HANDLE_VALUE) {
        writeConsole(out, L"\r\n");
        ::CloseHandle(out);
    }
    ::CloseHandle(in);
    if (!line.empty() && line.back() == L'\r') {
        line.pop_back();
    }
    if (!ended && line.empty()) {
        return std::nullopt;
    }
    return narrow(line);
}

std::optional<std::u32string> decodeLocaleText(const std::string& bytes) {
    // The console's own reading gives UTF-8; other text is taken as UTF-8
    // when it is valid there and in the ANSI code page otherwise.
    if (bytes.empty() || ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(),
                                               static_cast<int>(bytes.size()), nullptr, 0) > 0) {
        return std::nullopt;
    }
    const int size =
        ::MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    if (size <= 0) {
        return std::nullopt;
    }
    std::wstring wide(static_cast<std::size_t>(size), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), wide.data(),
                          size);
    return toUtf32(wide);
}

bool standardErrorIsConsole() {
    DWORD mode = 0;
    return ::GetConsoleMode(::GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

void restoreConsole() {
    if (const HANDLE in = echoOffInput.load()) {
        ::SetConsoleMode(in, savedMode.load());
    }
}

}  // namespace grize
