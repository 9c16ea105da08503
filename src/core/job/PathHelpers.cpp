#include "core/job/PathHelpers.h"

#include <algorithm>
#include <optional>
#include <utility>

#include "core/format/PasswordBytes.h"
#include "errors/RuntimeError.h"
#include "platform/FileSystem.h"

namespace grize {

std::string fileName(const std::string& path, const std::string& separator) {
    if (separator.size() != 1) {
        return path;
    }
    const std::size_t at = path.rfind(separator[0]);
    return at == std::string::npos ? path : path.substr(at + 1);
}

namespace {

// The character that ends at byte `end` (> 0): where it starts and its code.
// A byte that is not part of valid UTF-8 is a character of its own. A lead
// byte is never a continuation byte, so a valid sequence found backwards is
// the one a forward reading finds.
std::pair<std::size_t, char32_t> characterBefore(std::string_view text, std::size_t end) {
    for (std::size_t length = std::min<std::size_t>(4, end); length >= 2; --length) {
        const std::u32string code = decodeUtf8(text.substr(end - length, length));
        if (code.size() == 1) {
            return {end - length, code[0]};
        }
    }
    return {end - 1, static_cast<unsigned char>(text[end - 1])};
}

// Where the last `count` characters of `text` start, counted in the units
// the platform's names are made of (PathRules' nameUnits); nullopt when the
// text holds fewer. A Windows character beyond U+FFFF is two units but never
// split: when the count ends inside one, the whole character is taken, so a
// cut drops a unit more rather than leave half a surrogate pair.
std::optional<std::size_t> startOfLastCharacters(std::string_view text, std::size_t count) {
    std::size_t start = text.size();
    for (std::size_t units = 0; units < count;) {
        if (start == 0) {
            return std::nullopt;
        }
        const auto [first, code] = characterBefore(text, start);
        units += nameUnits(code);
        start = first;
    }
    return start;
}

}  // namespace

std::string replaceExtension(const std::string& path, const std::string& newExtension) {
    const std::optional<std::size_t> cut = startOfLastCharacters(path, 4);
    if (!cut) {
        throw RuntimeError(ErrorKind::InvalidCall);
    }
    // Dropping a separator would put the output in another folder.
    if (path.find_first_of(kPathSeparators, *cut) != std::string::npos) {
        throw RuntimeError(ErrorKind::BadFileName);
    }
    return path.substr(0, *cut) + newExtension;
}

namespace {

constexpr std::string_view kEncryptedExtension = ".gri";
constexpr std::string_view kDecryptedExtension = ".txt";

bool endsWithIgnoringCase(std::string_view text, std::string_view end) {
    return text.size() >= end.size() &&
           sameIgnoringCase(text.substr(text.size() - end.size()), end);
}

// A dot that is not the name's first character, with something after it.
bool hasExtension(std::string_view name) {
    const std::size_t dot = name.rfind('.');
    return dot != std::string_view::npos && dot != 0 && dot + 1 < name.size();
}

// Only a name longer than its extension has one to replace: otherwise
// nothing but the new extension, a hidden name, would be left.
bool replaceable(std::string_view name, std::string_view extension) {
    return name.size() > extension.size() && endsWithIgnoringCase(name, extension);
}

// The extension in place of the name's last four characters, or after the
// name when nothing would be left of it.
std::string withExtension(const std::string& path, std::string_view name,
                          std::string_view extension) {
    return startOfLastCharacters(name, 4).value_or(0) > 0
               ? replaceExtension(path, std::string(extension))
               : path + std::string(extension);
}

// Where the name starts in a path: after its last separator.
std::size_t nameStart(const std::string& path) {
    const std::size_t cut = path.find_last_of(kPathSeparators);
    return cut == std::string::npos ? 0 : cut + 1;
}

std::string decryptedPath(const std::string& source, std::string_view name) {
    if (!replaceable(name, kEncryptedExtension)) {
        return withExtension(source, name, kDecryptedExtension);
    }
    const std::string stem = source.substr(0, source.size() - kEncryptedExtension.size());
    return hasExtension(name.substr(0, name.size() - kEncryptedExtension.size()))
               ? stem
               : stem + std::string(kDecryptedExtension);
}

}  // namespace

bool sameIgnoringCase(std::string_view a, std::string_view b) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [&](char x, char y) { return lower(x) == lower(y); });
}

std::string outputPathFor(const std::string& source, Operation operation) {
    const std::string_view name = std::string_view(source).substr(nameStart(source));
    if (name.empty()) {
        throw RuntimeError(ErrorKind::BadFileName);
    }
    std::string output;
    if (operation == Operation::Decrypt) {
        output = decryptedPath(source, name);
    } else if (replaceable(name, kDecryptedExtension) || replaceable(name, kEncryptedExtension)) {
        output = replaceExtension(source, std::string(kEncryptedExtension));
    } else {
        output = source + std::string(kEncryptedExtension);
    }
    return output != source && sameIgnoringCase(output, source) ? source : output;
}

std::string ageOutputPathFor(const std::string& source, Operation operation) {
    constexpr std::string_view kAgeExtension = ".age";
    const std::size_t start = nameStart(source);
    const std::string_view name = std::string_view(source).substr(start);
    if (name.empty()) {
        throw RuntimeError(ErrorKind::BadFileName);
    }
    if (operation == Operation::Encrypt) {
        return source + std::string(kAgeExtension);
    }
    if (!replaceable(name, kAgeExtension)) {
        return source + ".decrypted";
    }
    const std::string stem(name.substr(0, name.size() - kAgeExtension.size()));
    // A name of dots alone, or a hidden one, would vanish from the folder's view.
    const std::string shownStem = stem.starts_with('.') ? "decrypted" + stem : stem;
    return source.substr(0, start) + shownStem;
}

}  // namespace grize
