#include "platform/CommandLine.h"

namespace grize {

std::vector<std::string> commandLineArguments(int argc, char** argv) {
    return {argv + 1, argv + argc};
}

void useBinaryStandardStreams() {
    // Streams carry bytes unchanged here already.
}

}  // namespace grize
