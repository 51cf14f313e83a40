// tavrin-cli show and update on packages the test writes with python3's
// zipfile, as separate processes; what changed is judged by the independent
// reader (tests/support/package_props.py).

#include <gtest/gtest.h>

#include <filesystem>

#include "support/ExternalReaders.h"
#include "support/ScratchDir.h"

namespace tavrin {
namespace {

const char* const kReader = TAVRIN_TEST_SUPPORT_DIR "/package_props.py";

const std::string kRels =
    R"(_rels/.rels=<?xml version="1.0" encoding="UTF-8"?><Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships"><Relationship Id="rId1" Type="http://schemas.openxmlformats.org/package/2006/relationships/metadata/core-properties" Target="docProps/core.xml"/></Relationships>)";
const std::string kCore =
    R"(docProps/core.xml=<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)"
    "\n"
    R"(<cp:coreProperties xmlns:cp="http://schemas.openxmlformats.org/package/2006/metadata/core-properties" xmlns:dc="http://purl.org/dc/elements/1.1/">)"
    "\n  <dc:title>Fixture</dc:title>\n  <dc:creator>Ann</dc:creator>\n</cp:coreProperties>";
const std::string kBombCore =
    R"(docProps/core.xml=<?xml version="1.0"?><!DOCTYPE x [<!ENTITY a "aaaaaaaaaa"><!ENTITY b "&a;&a;&a;&a;&a;&a;&a;&a;">]>)"
    R"(<cp:coreProperties xmlns:cp="http://schemas.openxmlformats.org/package/2006/metadata/core-properties" xmlns:dc="http://purl.org/dc/elements/1.1/"><dc:title>&b;</dc:title></cp:coreProperties>)";
const std::string kMimetype = "mimetype=application/vnd.oasis.opendocument.text";
const std::string kMeta =
    R"(meta.xml=<?xml version="1.0" encoding="UTF-8"?><office:document-meta xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0" xmlns:meta="urn:oasis:names:tc:opendocument:xmlns:meta:1.0" xmlns:dc="http://purl.org/dc/elements/1.1/"><office:meta><meta:initial-creator>Ann</meta:initial-creator></office:meta></office:document-meta>)";

fixture::ProcessResult Spawn(std::vector<std::string> argv) {
  fixture::ProcessOptions options;
  options.collectErrors = true;
  return fixture::RunProcess(argv, options);
}

TEST(PackageCliTest, ShowAndUpdateThroughTheProgram) {
  struct Case {
    const char* name;
    std::string file;
    std::vector<std::string> members;
    std::vector<std::string> args;  // before the file
    int exit;
    std::string output;  // found in standard output (and error)
    const char* title;   // the title the reader then finds; null: the file is unchanged
  };
  const Case cases[] = {
      {"shown as JSON",
       "a.docx",
       {kRels, kCore},
       {"show", "--json"},
       0,
       R"("alias":"summary:title","value":"Fixture")",
       nullptr},
      {"title changed",
       "b.docx",
       {kRels, kCore},
       {"update", "--yes", "--set", "summary:title=Neu & <x>"},
       0,
       "",
       "Neu & <x>"},
      {"title added",
       "c.odt",
       {kMimetype, kMeta},
       {"update", "--yes", "--set", "summary:title=Titel"},
       0,
       "",
       "Titel"},
      {"a row only selected",
       "d.docx",
       {kRels, kCore},
       {"update", "--yes", "--select", "summary:title", "--select", "summary:author"},
       0,
       "",
       nullptr},
      {"a dry run adds nothing, and a row with no home is not stored",
       "f.odt",
       {kMimetype, kMeta},
       {"update", "--dry-run", "--json", "--set", "summary:title=T", "--set", "summary:security=2"},
       0,
       R"("alias":"summary:security","old":null,"new":"2","stored":false,"reason":"missing")",
       nullptr},
      {"entity declarations refused",
       "e.docx",
       {kRels, kBombCore},
       {"update", "--yes", "--set", "summary:title=x"},
       1,
       "HResult = $A0040003",
       nullptr},
  };
  fixture::ScratchDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = (dir.path() / c.file).string();
    const std::string original = (dir.path() / ("original-" + c.file)).string();
    std::vector<std::string> make{"/usr/bin/python3", kReader, "make", path};
    make.insert(make.end(), c.members.begin(), c.members.end());
    ASSERT_EQ(Spawn(make).exitCode, 0);
    std::filesystem::copy_file(path, original);
    std::vector<std::string> argv{TAVRIN_CLI};
    argv.insert(argv.end(), c.args.begin(), c.args.end());
    argv.push_back(path);
    const fixture::ProcessResult result = Spawn(argv);
    EXPECT_EQ(result.exitCode, c.exit) << result.output << result.errors;
    EXPECT_NE((result.output + result.errors).find(c.output), std::string::npos)
        << result.output << result.errors;
    if (c.title == nullptr) {
      EXPECT_EQ(fixture::ReadWholeFile(path), fixture::ReadWholeFile(original));
    } else {
      EXPECT_EQ(Spawn({"/usr/bin/python3", kReader, "compare", original, path, c.title}).output,
                "OK\n");
    }
  }
}

}  // namespace
}  // namespace tavrin
