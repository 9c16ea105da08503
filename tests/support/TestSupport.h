#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <set>
#include <sstream>
#include <string>

#include "FaultyFileSystem.h"
#include "TestFiles.h"
#include "TestPlatform.h"

namespace grize::test {

inline std::string allCodes(std::size_t length) {
    std::string s(length, '\0');
    for (std::size_t i = 0; i < length; ++i) {
        s[i] = static_cast<char>((i * 7 + i / 256) & 0xFF);
    }
    return s;
}

}  // namespace grize::test
