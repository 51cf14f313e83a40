#pragma once
// The command line of tavrin-cli: a command, then options in the GNU manner
// (getopt_long: "--jobs 2" or "--jobs=2", options and files in any order,
// "--" before files that begin with a dash), then the files.

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "app/cli/RowNames.h"
#include "commands/BatchCommand.h"

namespace tavrin::cli {

// A --set: its row and its value.
struct RowValue {
  NamedRow row;
  std::string cp932;
  std::string given;  // ROW=VALUE as on the command line
};

struct CommandLine {
  std::string command;  // show, update or batch; empty with --help alone
  bool help = false;
  // every command
  bool json = false;
  bool quiet = false;
  std::string filesFrom;  // "-": standard input
  bool nullSeparated = false;
  bool recursive = false;
  std::vector<std::string> extensions;  // empty: the document extensions
  // show
  bool hex = false;
  bool csv = false;
  unsigned jobs = 1;
  // update and batch
  std::vector<RowValue> values;
  std::vector<NamedRow> selected;  // every row named by --set or --select
  bool yes = false;
  bool dryRun = false;
  bool keepTimes = false;
  std::optional<std::string> backupSuffix;
  // batch
  std::string defaults;
  std::chrono::milliseconds pause = kBatchPause;
  bool keepGoing = false;

  std::vector<std::string> files;
};

// Fills `line` from argv, or gives the usage error's text. Each command
// takes its own options only; an unknown one is named.
std::string ParseCommandLine(int argc, char** argv, CommandLine& line);

}  // namespace tavrin::cli
