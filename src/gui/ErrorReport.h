#pragma once

#include <string>
#include <string_view>

namespace grize {

// The text of the box that reports an unexpected run-time error. `label`
// names the procedure it came from, e.g. "Sub Encrypt".
std::string errorReportText(int number, std::string_view description, std::string_view label);

}  // namespace grize
