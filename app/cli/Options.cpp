#include "app/cli/Options.h"

#include <getopt.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <span>
#include <string_view>

#include "platform/CodePage.h"

namespace tavrin::cli {
namespace {

enum Option : int {
  kJson = 1000,
  kHex,
  kJobs,
  kCsv,
  kSet,
  kSelect,
  kYes,
  kBackup,
  kFilesFrom,
  kExt,
  kQuiet = 'q',
  kDryRun = 'n',
  kKeepTimes = 'P',
  kRecursive = 'r',
  kNull = '0',
  kDefaults = 2000,
  kWait,
  kKeepGoing,
  kHelp = 'h',
};

// The first seven are every command's; update and batch add the next six.
constexpr option kShowOptions[] = {{"json", no_argument, nullptr, kJson},
                                   {"quiet", no_argument, nullptr, kQuiet},
                                   {"files-from", required_argument, nullptr, kFilesFrom},
                                   {"null", no_argument, nullptr, kNull},
                                   {"recursive", no_argument, nullptr, kRecursive},
                                   {"ext", required_argument, nullptr, kExt},
                                   {"help", no_argument, nullptr, kHelp},
                                   {"hex", no_argument, nullptr, kHex},
                                   {"csv", no_argument, nullptr, kCsv},
                                   {"jobs", required_argument, nullptr, kJobs},
                                   {nullptr, 0, nullptr, 0}};
constexpr option kUpdateOptions[] = {{"json", no_argument, nullptr, kJson},
                                     {"quiet", no_argument, nullptr, kQuiet},
                                     {"files-from", required_argument, nullptr, kFilesFrom},
                                     {"null", no_argument, nullptr, kNull},
                                     {"recursive", no_argument, nullptr, kRecursive},
                                     {"ext", required_argument, nullptr, kExt},
                                     {"help", no_argument, nullptr, kHelp},
                                     {"set", required_argument, nullptr, kSet},
                                     {"select", required_argument, nullptr, kSelect},
                                     {"yes", no_argument, nullptr, kYes},
                                     {"dry-run", no_argument, nullptr, kDryRun},
                                     {"keep-times", no_argument, nullptr, kKeepTimes},
                                     {"backup", optional_argument, nullptr, kBackup},
                                     {nullptr, 0, nullptr, 0}};
constexpr option kBatchOptions[] = {{"json", no_argument, nullptr, kJson},
                                    {"quiet", no_argument, nullptr, kQuiet},
                                    {"files-from", required_argument, nullptr, kFilesFrom},
                                    {"null", no_argument, nullptr, kNull},
                                    {"recursive", no_argument, nullptr, kRecursive},
                                    {"ext", required_argument, nullptr, kExt},
                                    {"help", no_argument, nullptr, kHelp},
                                    {"set", required_argument, nullptr, kSet},
                                    {"select", required_argument, nullptr, kSelect},
                                    {"yes", no_argument, nullptr, kYes},
                                    {"dry-run", no_argument, nullptr, kDryRun},
                                    {"keep-times", no_argument, nullptr, kKeepTimes},
                                    {"backup", optional_argument, nullptr, kBackup},
                                    {"defaults", required_argument, nullptr, kDefaults},
                                    {"wait", required_argument, nullptr, kWait},
                                    {"keep-going", no_argument, nullptr, kKeepGoing},
                                    {nullptr, 0, nullptr, 0}};

// A comma-separated list of extensions, without dots, in lower case.
std::string TakeExtensions(std::string_view list, std::vector<std::string>& out) {
  out.clear();
  for (std::size_t at = 0; at <= list.size();) {
    std::size_t comma = list.find(',', at);
    if (comma == std::string_view::npos) comma = list.size();
    std::string_view one = list.substr(at, comma - at);
    if (!one.empty() && one.front() == '.') one.remove_prefix(1);
    if (one.empty() || one.find('/') != std::string_view::npos) {
      return "--ext takes extensions separated by commas, such as doc,xls";
    }
    std::string lower(one);
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    out.push_back(std::move(lower));
    at = comma + 1;
  }
  return {};
}

// The row of a --set or --select, or a usage error's text.
std::string ParseRow(std::string_view name, NamedRow& row) {
  std::optional<NamedRow> found = FindRow(name);
  if (!found) return "unknown row '" + std::string(name) + "' (see --help)";
  const std::span<const int> fixed = FixedReadOnlyRows(found->set);
  if (std::find(fixed.begin(), fixed.end(), found->row) != fixed.end()) {
    return "row '" + std::string(name) + "' is never written";
  }
  row = *found;
  return {};
}

std::string TakeRow(std::string_view operand, bool set, CommandLine& line) {
  const std::size_t equals = operand.find('=');
  if (set && equals == std::string_view::npos) return "--set needs ROW=VALUE";
  NamedRow row{};
  if (std::string problem = ParseRow(set ? operand.substr(0, equals) : operand, row);
      !problem.empty()) {
    return problem;
  }
  if (std::any_of(line.selected.begin(), line.selected.end(), [&](const NamedRow& other) {
        return other.set == row.set && other.row == row.row;
      })) {
    return "a row is named twice";
  }
  line.selected.push_back(row);
  if (set) {
    codepage::EncodeResult value = codepage::Utf8ToCp932(operand.substr(equals + 1));
    if (!value.bytes) return "CP932 cannot hold '" + value.unrepresentable + "'";
    line.values.push_back({row, std::move(*value.bytes), std::string(operand)});
  }
  return {};
}

bool ParseNumber(std::string_view text, unsigned& number) {
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
  return error == std::errc() && end == text.data() + text.size() && !text.empty();
}

std::string TakeOption(int code, std::string_view operand, CommandLine& line) {
  switch (code) {
    case kJson:
      line.json = true;
      return {};
    case kHex:
      line.hex = true;
      return {};
    case kCsv:
      line.csv = true;
      return {};
    case kDryRun:
      line.dryRun = true;
      return {};
    case kKeepTimes:
      line.keepTimes = true;
      return {};
    case kBackup:
      // As cp --backup: "~" unless another suffix is given.
      line.backupSuffix = operand.empty() ? "~" : std::string(operand);
      if (line.backupSuffix->find('/') != std::string::npos)
        return "--backup takes a suffix, no '/'";
      return {};
    case kFilesFrom:
      line.filesFrom = std::string(operand);
      return {};
    case kNull:
      line.nullSeparated = true;
      return {};
    case kRecursive:
      line.recursive = true;
      return {};
    case kExt:
      return TakeExtensions(operand, line.extensions);
    case kJobs:
      if (!ParseNumber(operand, line.jobs) || line.jobs < 1 || line.jobs > 64) {
        return "--jobs takes a number from 1 to 64";
      }
      return {};
    case kSet:
    case kSelect:
      return TakeRow(operand, code == kSet, line);
    case kYes:
      line.yes = true;
      return {};
    case kQuiet:
      line.quiet = true;
      return {};
    case kDefaults:
      line.defaults = std::string(operand);
      return {};
    case kWait: {
      unsigned milliseconds = 0;
      if (!ParseNumber(operand, milliseconds)) return "--wait takes a number of milliseconds";
      line.pause = std::chrono::milliseconds(milliseconds);
      return {};
    }
    case kKeepGoing:
      line.keepGoing = true;
      return {};
    case kHelp:
      line.help = true;
      return {};
    default:
      return "unknown option";
  }
}

}  // namespace

std::string ParseCommandLine(int argc, char** argv, CommandLine& line) {
  if (argc < 2) return "a command is needed";
  const std::string_view command = argv[1];
  if (command == "--help" || command == "-h") {
    line.help = true;
    return {};
  }
  const option* options = command == "show"     ? kShowOptions
                          : command == "update" ? kUpdateOptions
                          : command == "batch"  ? kBatchOptions
                                                : nullptr;
  if (options == nullptr) return "unknown command '" + std::string(command) + "'";
  line.command = std::string(command);
  const char* shortOptions = command == "show" ? ":hq0r" : ":hq0rnP";
  // The command stands where getopt_long expects the program's name.
  const int count = argc - 1;
  char** args = argv + 1;
  opterr = 0;
  optind = 1;
  for (int code; (code = getopt_long(count, args, shortOptions, options, nullptr)) != -1;) {
    const std::string given = args[optind - 1];
    if (code == '?') {
      const std::string name = optopt != 0 ? "-" + std::string(1, static_cast<char>(optopt))
                                           : given.substr(0, given.find('='));
      return "unknown option '" + name + "' for " + line.command;
    }
    if (code == ':') return "'" + given.substr(0, given.find('=')) + "' needs a value";
    if (std::string problem = TakeOption(code, optarg != nullptr ? optarg : "", line);
        !problem.empty()) {
      return problem;
    }
    if (line.help) return {};
  }
  for (int i = optind; i < count; ++i) line.files.emplace_back(args[i]);
  return {};
}

}  // namespace tavrin::cli
