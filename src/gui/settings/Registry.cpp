#include "gui/settings/Registry.h"

#include <utility>

#include "errors/RuntimeError.h"

namespace grize {

namespace {

constexpr std::uint32_t kReadBufferSize = 255;
const char* const kErrorText = "Error";

std::function<void(const std::string&)>& messageBox() {
    static std::function<void(const std::string&)> show;
    return show;
}

RegistryApi* replacedApi = nullptr;

RegistryApi& api() {
    return replacedApi != nullptr ? *replacedApi : platformRegistry();
}

}  // namespace

void setRegistryMessageBox(std::function<void(const std::string& text)> show) {
    messageBox() = std::move(show);
}

void setRegistryApi(RegistryApi* api) {
    replacedApi = api;
}

std::uint32_t RootKeyFromName(const std::string& name) {
    for (const auto& root : reg::kRootKeys) {
        if (name == root.name) {
            return root.handle;
        }
    }
    return 0;
}

void SplitKeyPath(std::string& path, std::uint32_t& root) {
    const std::size_t slash = path.find('\\');
    if (!path.starts_with("HKEY_") || path.ends_with('\\')) {
        if (messageBox()) {
            messageBox()("Incorrect Format:\n\n" + path);
        }
        root = 0;
        return;
    }
    if (slash == std::string::npos) {
        root = RootKeyFromName(path);
        path.clear();
    } else {
        root = RootKeyFromName(path.substr(0, slash));
        path.erase(0, slash + 1);
    }
}

RegistryValue ReadValue(const std::string& keyPath, const std::string& valueName) {
    std::string subKey = keyPath;
    std::uint32_t root = 0;
    SplitKeyPath(subKey, root);
    if (root == 0) {
        return std::nullopt;
    }
    RegistryApi& store = api();
    RegKey key = 0;
    if (store.OpenKey(root, subKey, reg::kKeyRead, key) != reg::kSuccess) {
        return kErrorText;
    }
    std::string buffer(kReadBufferSize, ' ');
    std::uint32_t length = kReadBufferSize;
    std::uint32_t type = reg::kSz;
    const long status = store.QueryValue(key, valueName, type, buffer.data(), length);
    store.CloseKey(key);
    if (status != reg::kSuccess) {
        return kErrorText;
    }

    // The data's type and length are not looked at: the copied string ends in
    // its NUL, and the spaces after it are the buffer's own filling.
    const std::size_t first = buffer.find_first_not_of(' ');
    if (first == std::string::npos) {
        throw err::invalidCall();
    }
    buffer.erase(buffer.find_last_not_of(' ') + 1);
    buffer.erase(0, first);
    buffer.pop_back();
    return buffer;
}

bool HoldsText(const std::string& keyPath, const std::string& valueName, const std::string& text) {
    std::string subKey = keyPath;
    std::uint32_t root = 0;
    SplitKeyPath(subKey, root);
    if (root == 0) {
        return false;
    }
    RegistryApi& store = api();
    RegKey key = 0;
    if (store.OpenKey(root, subKey, reg::kKeyRead, key) != reg::kSuccess) {
        return false;
    }
    // A byte more than the text and its terminator: a longer value fits no better.
    std::string stored(text.size() + 2, '\0');
    std::uint32_t length = static_cast<std::uint32_t>(stored.size());
    std::uint32_t type = reg::kNone;
    const long status = store.QueryValue(key, valueName, type, stored.data(), length);
    store.CloseKey(key);
    stored.resize(text.size() + 1);
    return status == reg::kSuccess && type == reg::kSz && length == text.size() + 1 &&
           stored == text + '\0';
}

void CreateKey(const std::string& keyPath) {
    std::string subKey = keyPath;
    std::uint32_t root = 0;
    SplitKeyPath(subKey, root);
    if (root == 0) {
        return;
    }
    RegistryApi& store = api();
    RegKey key = 0;
    if (store.CreateKey(root, subKey, key) == reg::kSuccess) {
        store.CloseKey(key);
    }
}

void WriteValue(const std::string& keyPath, const std::string& valueName,
                const std::string& value) {
    std::string subKey = keyPath;
    std::uint32_t root = 0;
    SplitKeyPath(subKey, root);
    if (root == 0) {
        return;
    }
    RegistryApi& store = api();
    RegKey key = 0;
    if (store.OpenKey(root, subKey, reg::kKeyWrite, key) != reg::kSuccess) {
        return;
    }
    // The count leaves out the NUL; the store terminates string data itself.
    store.SetValue(key, valueName, reg::kSz, value.c_str(),
                   static_cast<std::uint32_t>(value.size()));
    store.CloseKey(key);
}

}  // namespace grize
