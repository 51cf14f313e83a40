#include "support/ExternalReaders.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <sstream>

#include "support/ScratchDir.h"

namespace tavrin::fixture {

namespace {

// Stream names compare without regard to case in a compound file.
bool SameName(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::toupper(static_cast<unsigned char>(x)) ==
                  std::toupper(static_cast<unsigned char>(y));
         });
}

// The python3 that has olefile; the first one on PATH may not.
constexpr const char* kPython = "/usr/bin/python3";

struct Member {
  std::string name;
  std::string size;
};

// The streams `gsf list` shows, in its order.
std::vector<Member> GsfStreams(const std::string& file, std::string& problems) {
  const ProcessResult listed = RunProcess({"gsf", "list", file});
  if (listed.exitCode != 0) {
    problems += "gsf list failed: " + listed.output + "\n";
    return {};
  }
  std::vector<Member> members;
  std::istringstream lines(listed.output);
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind("f ", 0) != 0) continue;
    // "f", blanks, the size, one blank, the name (which may itself begin
    // with blanks). An empty storage shows as "f" too, with a date first.
    const std::size_t sizeAt = line.find_first_not_of(' ', 1);
    const std::size_t sizeEnd = line.find(' ', sizeAt);
    if (sizeAt == std::string::npos || sizeEnd == std::string::npos) continue;
    Member member;
    member.size = line.substr(sizeAt, sizeEnd - sizeAt);
    if (member.size.find('-') != std::string::npos) continue;
    member.name = line.substr(sizeEnd + 1);
    members.push_back(member);
  }
  return members;
}

std::string GsfCat(const std::string& file, const std::vector<std::string>& names,
                   std::string& problems) {
  if (names.empty()) return {};
  std::vector<std::string> argv{"gsf", "cat", file};
  argv.insert(argv.end(), names.begin(), names.end());
  ProcessResult result = RunProcess(argv);
  if (result.exitCode != 0) problems += "gsf cat failed on " + file + "\n";
  return result.output;
}

}  // namespace

ProcessResult RunProcess(const std::vector<std::string>& argv, const ProcessOptions& options) {
  ProcessResult result;
  int pipeEnds[2];
  if (pipe2(pipeEnds, O_CLOEXEC) != 0) return result;
  // Spawning rather than forking: copying a sanitized test process's huge
  // address space for every run costs more than the run itself.
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (options.input >= 0) {
    posix_spawn_file_actions_adddup2(&actions, options.input, STDIN_FILENO);
  } else {
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  }
  posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDOUT_FILENO);
  // Warnings would mix with stream bytes; the exit code tells failure.
  std::string errorsPath = options.errorsPath;
  if (options.collectErrors) {
    char name[] = "/tmp/tavrin-errors-XXXXXX";
    const int made = mkstemp(name);
    if (made >= 0) close(made);
    errorsPath = name;
  }
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errorsPath.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0600);
  std::vector<char*> args;
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  pid_t child = -1;
  const int spawned = posix_spawnp(&child, args[0], &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(pipeEnds[1]);
  if (spawned == 0 && options.pid != nullptr) *options.pid = child;
  if (spawned == 0 && options.started) options.started();
  char buffer[65536];
  for (ssize_t n; spawned == 0 && (n = read(pipeEnds[0], buffer, sizeof buffer)) > 0;) {
    result.output.append(buffer, static_cast<std::size_t>(n));
  }
  close(pipeEnds[0]);
  int status = 0;
  if (spawned == 0 && waitpid(child, &status, 0) == child && WIFEXITED(status)) {
    result.exitCode = WEXITSTATUS(status);
  }
  if (options.collectErrors) {
    result.errors = ReadWholeFile(errorsPath);
    unlink(errorsPath.c_str());
  }
  return result;
}

bool ExternalReadersPresent() {
  return RunProcess({kPython, "-c", "import olefile"}).exitCode == 0 &&
         RunProcess({"gsf", "help"}).exitCode == 0;
}

std::string CompareWithOlefile(const std::string& original, const std::string& target,
                               const std::vector<ChangedCopy>& copies, bool zeroTail) {
  ScratchDir scratch;
  std::vector<std::string> argv{kPython, TAVRIN_TEST_SUPPORT_DIR "/olefile_compare.py", original,
                                target};
  if (zeroTail) argv.push_back("--zero-tail");
  for (std::size_t i = 0; i < copies.size(); ++i) {
    argv.push_back(copies[i].path);
    argv.push_back(scratch.Put("expected" + std::to_string(i), copies[i].expected));
  }
  ProcessResult result = RunProcess(argv);
  while (!result.output.empty() && result.output.back() == '\n') result.output.pop_back();
  return result.exitCode == 0 ? result.output : "olefile_compare failed: " + result.output;
}

std::string CompareWithGsf(const std::string& original, const std::string& target,
                           const std::vector<ChangedCopy>& copies) {
  std::string problems;
  const std::vector<Member> before = GsfStreams(original, problems);
  std::vector<std::string> others;
  for (const Member& member : before) {
    if (!SameName(member.name, target)) others.push_back(member.name);
  }
  const std::string otherBytes = GsfCat(original, others, problems);
  for (const ChangedCopy& copy : copies) {
    const std::vector<Member> after = GsfStreams(copy.path, problems);
    bool found = false;
    if (before.size() != after.size()) problems += copy.path + ": a different number of streams\n";
    for (std::size_t i = 0; i < before.size() && i < after.size(); ++i) {
      if (before[i].name != after[i].name)
        problems += copy.path + ": lists " + after[i].name + "\n";
      if (SameName(before[i].name, target)) {
        found = true;
        if (GsfCat(copy.path, {after[i].name}, problems) != copy.expected) {
          problems += copy.path + ": " + target + " differs from what was written\n";
        }
      } else if (before[i].size != after[i].size) {
        problems += copy.path + ": " + before[i].name + " changed size\n";
      }
    }
    if (!found) problems += copy.path + ": no " + target + "\n";
    if (GsfCat(copy.path, others, problems) != otherBytes) {
      problems += copy.path + ": other streams read differently\n";
    }
  }
  if (!problems.empty() && problems.back() == '\n') problems.pop_back();
  return problems.empty() ? "OK" : problems;
}

std::string PythonOver(const std::string& text, const std::string& script) {
  ScratchDir dir;
  return RunProcess({"/usr/bin/python3", "-c", script, dir.Put("input", text)}).output;
}

}  // namespace tavrin::fixture
