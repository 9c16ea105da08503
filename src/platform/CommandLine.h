#pragma once

#include <string>
#include <vector>

namespace grize {

// The program's arguments after its name, in UTF-8 where the platform hands
// them over in another form.
std::vector<std::string> commandLineArguments(int argc, char** argv);

// The text the window takes for its target path, in UTF-8: all of the
// command line after the program's own name, unchanged but for one pair of
// quotation marks around the whole of it. Where the system hands over only
// the split arguments (POSIX), those joined with one blank.
std::string commandLineText(int argc, char** argv);

// Standard input and output carry bytes as they are: no line end is added
// or taken away on the way.
void useBinaryStandardStreams();

}  // namespace grize
