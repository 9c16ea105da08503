#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

// The formats Grize writes and reads, told apart by a file's first bytes,
// never by its name.
namespace grize {

enum class FileFormat { Gri, Age };

// How many first bytes formatOf needs.
std::size_t formatSniffBytes();

// The format a file beginning with `firstBytes` is encrypted in (all of a
// shorter file); nullopt for a file that is not encrypted.
std::optional<FileFormat> formatOf(std::string_view firstBytes);

}  // namespace grize
