#pragma once
// The files a run works on: those named on the command line, then those
// read from --files-from, each folder among them walked under --recursive.
// Names stay the system's bytes throughout; nothing converts them.

#include <string>
#include <vector>

#include "app/cli/Options.h"

namespace tavrin::cli {

// Fills `files`, or gives the problem (a list that cannot be read, a folder
// that cannot be walked) for a usage error.
std::string GatherFiles(const CommandLine& line, std::vector<std::string>& files);

// One name a line (or ending in NUL when `nullSeparated`); empty names are
// no names.
std::vector<std::string> SplitNames(const std::string& list, bool nullSeparated);

}  // namespace tavrin::cli
