#include "core/format/FileFormat.h"

#include <algorithm>

#include "core/format/GriHeader.h"
#include "core/format/age/AgeFormat.h"

namespace grize {

std::size_t formatSniffBytes() {
    return std::max(gri::kMarker.size(), age::kSniffBytes);
}

std::optional<FileFormat> formatOf(std::string_view firstBytes) {
    if (firstBytes.starts_with(gri::kMarker)) {
        return FileFormat::Gri;
    }
    if (age::looksLikeAge(firstBytes)) {
        return FileFormat::Age;
    }
    return std::nullopt;
}

}  // namespace grize
