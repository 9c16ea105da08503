#include "platform/CommandLine.h"

#define WIN32_LEAN_AND_MEAN
#include <fcntl.h>
#include <io.h>
#include <windows.h>
// Needs the types from windows.h.
#include <shellapi.h>

#include <cstdio>

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

void useBinaryStandardStreams() {
    // Otherwise "\n" would become "\r\n" on the way out, and back on the way in.
    ::_setmode(::_fileno(stdin), _O_BINARY);
    ::_setmode(::_fileno(stdout), _O_BINARY);
}

}  // namespace grize
