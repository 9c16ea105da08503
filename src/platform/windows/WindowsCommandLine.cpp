#include "platform/CommandLine.h"

#define WIN32_LEAN_AND_MEAN
#include <fcntl.h>
#include <io.h>
#include <windows.h>
// Needs the types from windows.h.
#include <shellapi.h>

#include <cstdio>

#include "platform/windows/WindowsCommandLine.h"
#include "platform/windows/WindowsFileSystem.h"

namespace grize {

std::vector<std::string> commandLineArguments(int argc, char** argv) {
    // argv is in the ANSI code page, which cannot hold every name or password.
    int count = 0;
    LPWSTR* wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    if (wide == nullptr) {
        return {argv + 1, argv + argc};
    }
    std::vector<std::string> args;
    for (int i = 1; i < count; ++i) {
        args.push_back(narrow(wide[i]));
    }
    ::LocalFree(wide);
    return args;
}

std::wstring argumentText(std::wstring_view commandLine) {
    const auto blank = [](wchar_t c) { return c == L' ' || c == L'\t'; };
    std::size_t at = 0;
    // The program's name: no escapes in it, and quotes only around all of it.
    if (!commandLine.empty() && commandLine[0] == L'"') {
        const std::size_t close = commandLine.find(L'"', 1);
        at = close == std::wstring_view::npos ? commandLine.size() : close + 1;
    } else {
        while (at < commandLine.size() && !blank(commandLine[at])) {
            ++at;
        }
    }
    while (at < commandLine.size() && blank(commandLine[at])) {
        ++at;
    }
    std::wstring_view text = commandLine.substr(at);
    // Explorer's verb quotes the path it passes.
    if (text.size() >= 2 && text.front() == L'"' && text.back() == L'"') {
        text = text.substr(1, text.size() - 2);
    }
    return std::wstring(text);
}

std::string commandLineText(int, char**) {
    // Split and joined again, runs of blanks in a name would collapse.
    return narrow(argumentText(::GetCommandLineW()));
}

void useBinaryStandardStreams() {
    // Otherwise "\n" would become "\r\n" on the way out, and back on the way in.
    ::_setmode(::_fileno(stdin), _O_BINARY);
    ::_setmode(::_fileno(stdout), _O_BINARY);
}

}  // namespace grize
