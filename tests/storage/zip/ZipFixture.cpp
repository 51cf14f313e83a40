#include "storage/zip/ZipFixture.h"

#include "platform/storage/Journal.h"
#include "support/ExternalReaders.h"

namespace tavrin::storage::zip::fixture {

using tavrin::fixture::ReadWholeFile;
using tavrin::fixture::RunProcess;

namespace {

constexpr const char* kPython = "/usr/bin/python3";

std::string Indented(const std::string& body) {
  std::string out = "    ";
  for (char c : body) {
    out += c;
    if (c == '\n') out += "    ";
  }
  return out;
}

}  // namespace

std::string BuildZip(const std::string& path, const std::string& body, bool streamed) {
  const std::string script =
      "import sys, zipfile\n"
      "path = sys.argv[1]\n"
      "class Unseekable:\n"
      "    def __init__(self, f): self.f = f\n"
      "    def write(self, b): return self.f.write(b)\n"
      "    def flush(self): self.f.flush()\n"
      "with open(path, 'r+b') as raw:\n"
      "  raw.seek(0, 2)\n"
      "  target = Unseekable(raw) if " +
      std::string(streamed ? "True" : "False") +
      " else raw\n"
      "  with zipfile.ZipFile(target, 'w', zipfile.ZIP_DEFLATED) as z:\n" +
      Indented(body) + "\n";
  tavrin::fixture::ProcessOptions options;
  options.collectErrors = true;
  const auto result = RunProcess({kPython, "-c", script, path}, options);
  EXPECT_EQ(result.exitCode, 0) << result.errors;
  return ReadWholeFile(path);
}

std::string PythonTestZip(const std::string& path, const std::string& member,
                          std::string* content) {
  const auto result =
      RunProcess({kPython, "-c",
                  "import sys, zipfile\n"
                  "try:\n"
                  "    z = zipfile.ZipFile(sys.argv[1])\n"
                  "    bad = z.testzip()\n"
                  "    print('OK' if bad is None else 'bad member ' + bad)\n"
                  "    sys.stdout.flush()\n"
                  "    if sys.argv[2]: sys.stdout.buffer.write(z.read(sys.argv[2]))\n"
                  "except Exception as e:\n"
                  "    print(type(e).__name__, e)\n",
                  path, member});
  const std::size_t line = result.output.find('\n');
  if (content != nullptr && line != std::string::npos) *content = result.output.substr(line + 1);
  return result.output.substr(0, line);
}

std::string PythonRead(const std::string& path, const std::string& name) {
  const auto result = RunProcess({kPython, "-c",
                                  "import sys, zipfile\n"
                                  "sys.stdout.buffer.write(zipfile.ZipFile(sys.argv[1])"
                                  ".read(sys.argv[2]))\n",
                                  path, name});
  return result.output;
}

OpenPackage Open(const std::string& path) {
  OpenPackage package;
  package.status = File::Open(path, package.file);
  if (package.status.ok()) package.status = RecoverDocument(*package.file);
  package.recovered = package.status.code();
  if (package.status.ok()) package.status = Archive::Open(*package.file, package.archive);
  return package;
}

std::string MemberBytes(const std::string& archive, const Member& member) {
  return archive.substr(static_cast<std::size_t>(member.localHeaderOffset),
                        static_cast<std::size_t>(member.endOffset() - member.localHeaderOffset));
}

}  // namespace tavrin::storage::zip::fixture
