#pragma once

#include <fstream>
#include <string>
#include <vector>

// Lines of a reference-value file under tests/core/cipher/data, comments dropped.
inline std::vector<std::string> vectorLines(const std::string& name) {
    std::ifstream in(std::string(GRIZE_TEST_DATA) + "/" + name);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.rfind("# ", 0) != 0) {  // "## " headings stay
            lines.push_back(line);
        }
    }
    return lines;
}

inline std::string fromHex(const std::string& hex) {
    std::string out;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        out.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    }
    return out;
}

inline std::string toHex(const std::string& bytes) {
    static const char* digits = "0123456789abcdef";
    std::string out;
    for (unsigned char c : bytes) {
        out.push_back(digits[c >> 4]);
        out.push_back(digits[c & 15]);
    }
    return out;
}
