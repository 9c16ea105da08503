#pragma once

#include <string>
#include <vector>

namespace grize {

// The program's arguments after its name, in UTF-8 where the platform hands
// them over in another form.
std::vector<std::string> commandLineArguments(int argc, char** argv);

// Standard input and output carry bytes as they are: no line end is added
// or taken away on the way.
void useBinaryStandardStreams();

}  // namespace grize
