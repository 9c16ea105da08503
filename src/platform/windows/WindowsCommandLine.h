#pragma once

#include <string>
#include <string_view>

namespace grize {

// The argument text of a whole Windows command line: what follows the
// program's name and the blanks after it, with one pair of quotation marks
// around all of it taken off. The name ends as the system ends it: at the
// next quotation mark when it starts with one, else at the first blank or tab.
std::wstring argumentText(std::wstring_view commandLine);

}  // namespace grize
