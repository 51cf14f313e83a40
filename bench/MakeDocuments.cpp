// Writes N small documents into a folder, for timing commands over many
// files: tavrin-make-documents FOLDER N.

#include <cstdio>
#include <cstdlib>
#include <string>

#include "support/TestDocument.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s FOLDER COUNT\n", argv[0]);
    return 2;
  }
  const std::string folder = argv[1];
  const long count = std::strtol(argv[2], nullptr, 10);
  tavrin::test::SectionFixture docSummary(tavrin::test::kDocSummaryFmtid);
  docSummary.Add(1, tavrin::test::I2(932)).Add(15, tavrin::test::Lpstr("ACME"));
  const std::string bytes = tavrin::testing::TestDocument(
                                tavrin::testing::SummaryWith("a title", "an author", 3), docSummary)
                                .Bytes();
  for (long i = 0; i < count; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "/doc-%05ld.doc", i);
    FILE* out = std::fopen((folder + name).c_str(), "wb");
    if (out == nullptr || std::fwrite(bytes.data(), 1, bytes.size(), out) != bytes.size()) return 1;
    std::fclose(out);
  }
  return 0;
}
