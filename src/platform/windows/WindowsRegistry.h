#pragma once

#include "platform/RegistryApi.h"

namespace grize {

// The real registry, through advapi32.
class WindowsRegistry final : public RegistryApi {
  public:
    long OpenKey(std::uint32_t root, const std::string& subKey, std::uint32_t access,
                 RegKey& key) override;
    long CreateKey(std::uint32_t root, const std::string& subKey, RegKey& key) override;
    long QueryValue(RegKey key, const std::string& name, std::uint32_t& type, char* data,
                    std::uint32_t& length) override;
    long SetValue(RegKey key, const std::string& name, std::uint32_t type, const char* data,
                  std::uint32_t length) override;
    long CloseKey(RegKey key) override;
};

}  // namespace grize
