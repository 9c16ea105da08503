#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace grize {

class FileSystem;

// Gives the output path once the source has been opened and read checks
// passed (the window calls replaceExtension here and reports its failure).
using OutputPathProvider = std::function<std::string()>;

// Encrypts `source` into the path the provider gives, streaming in chunks.
// The output is written under a temporary name in its own folder and flushed
// before the source is touched; on success the output is complete and the
// source is gone; on failure the source is unchanged and nothing of this run
// is left. `password` is already bytes (passwordBytes). Throws RuntimeError.
// Returns the output path.
std::string encryptFile(const std::string& source, std::string_view password,
                        std::string_view saltSeedText, const OutputPathProvider& outputPath,
                        FileSystem& fs);
std::string encryptFile(const std::string& source, std::string_view password,
                        std::string_view saltSeedText, const OutputPathProvider& outputPath);

// Judges the password from the header line alone. Throws RuntimeError when
// the file cannot be read.
bool passwordMatches(const std::string& source, std::string_view password, FileSystem& fs);
bool passwordMatches(const std::string& source, std::string_view password);

enum class DecryptOutcome { Done, WrongPassword };

// Tests the password and, when it is accepted, decrypts `source` into the
// path the provider gives, with the same guarantees as encryptFile. A wrong
// password touches nothing and does not call the provider.
DecryptOutcome decryptFile(const std::string& source, std::string_view password,
                           const OutputPathProvider& outputPath, FileSystem& fs,
                           std::string* writtenPath = nullptr);
DecryptOutcome decryptFile(const std::string& source, std::string_view password,
                           const OutputPathProvider& outputPath,
                           std::string* writtenPath = nullptr);

}  // namespace grize
