#include "platform/CommandLine.h"

namespace grize {

std::vector<std::string> commandLineArguments(int argc, char** argv) {
    return {argv + 1, argv + argc};
}

std::string commandLineText(int argc, char** argv) {
    std::string text;
    for (int i = 1; i < argc; ++i) {
        if (i > 1) {
            text += ' ';
        }
        text += argv[i];
    }
    return text;
}

void useBinaryStandardStreams() {
    // Streams carry bytes unchanged here already.
}

}  // namespace grize
