#pragma once

#include <chrono>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>

namespace grize::test {

// A UTF-8 path as the file system library takes it on every platform.
inline std::filesystem::path fsPath(const std::string& utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

// A fresh folder under the temporary folder (TMPDIR, or /tmp), removed with
// everything in it. Paths are UTF-8 strings joined with "/", which every
// platform reads as a separator.
class TempDir {
  public:
    TempDir() {
        namespace fs = std::filesystem;
        static std::mt19937_64 random(std::random_device{}() ^
                                      std::chrono::steady_clock::now().time_since_epoch().count());
        const fs::path base = fs::temp_directory_path();
        for (int attempt = 0; attempt < 100; ++attempt) {
            const fs::path folder = base / ("grize-test-" + std::to_string(random() % 1000000000));
            if (fs::create_directory(folder)) {
                fs::permissions(folder, fs::perms::owner_all, fs::perm_options::replace);
                const std::u8string text = folder.u8string();
                path_.assign(text.begin(), text.end());
                return;
            }
        }
        throw std::runtime_error("no temporary folder could be made");
    }
    ~TempDir() {
        namespace fs = std::filesystem;
        // Tests take permissions away; give them back so the folder can go
        // (Windows removes no read-only file).
        std::error_code ec;
        const fs::path top = fsPath(path_);
        for (const auto& e : fs::recursive_directory_iterator(top, ec)) {
            if (e.is_directory(ec)) {
                fs::permissions(e.path(), fs::perms::owner_all, fs::perm_options::add, ec);
            } else if (e.is_regular_file(ec)) {
                fs::permissions(e.path(), fs::perms::owner_write, fs::perm_options::add, ec);
            }
        }
        fs::remove_all(top, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    std::string operator/(const std::string& name) const { return path_ + "/" + name; }
    const std::string& path() const { return path_; }

    std::set<std::string> names() const;

  private:
    std::string path_;
};

inline std::set<std::string> namesIn(const std::string& folder) {
    std::set<std::string> out;
    for (const auto& e : std::filesystem::directory_iterator(fsPath(folder))) {
        const std::u8string name = e.path().filename().u8string();
        out.emplace(name.begin(), name.end());
    }
    return out;
}

inline void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream(fsPath(path), std::ios::binary | std::ios::trunc) << bytes;
}

inline std::optional<std::string> readFile(const std::string& path) {
    std::ifstream in(fsPath(path), std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

inline std::set<std::string> TempDir::names() const {
    return namesIn(path_);
}

}  // namespace grize::test
