#include "gui/ErrorReport.h"

namespace grize {

std::string errorReportText(int number, std::string_view description, std::string_view label) {
    std::string text = "An Error was generated:\r\n\r\nDescription:\r\nError";
    // The report's fixed layout: a blank before a number that is not
    // negative, where a minus sign would stand.
    if (number >= 0) {
        text += ' ';
    }
    text += std::to_string(number);
    text += " - ";
    text += description;
    text += "\r\n";
    text += label;
    text += "\r\n\r\nPlease inform the author with the error description above.";
    return text;
}

}  // namespace grize
