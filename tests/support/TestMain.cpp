// The main of every test program: results must not depend on the machine's
// zone or language, so both are fixed here; a test that needs another zone
// sets it itself.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>

int main(int argc, char** argv) {
  setenv("TZ", "Asia/Tokyo", 1);
  setenv("LC_ALL", "C.UTF-8", 1);
  setenv("LANG", "C.UTF-8", 1);
  // Real documents are optional test input: tests that read them skip when
  // the folder is missing.
  setenv("TAVRIN_CORPUS", TAVRIN_CORPUS_DEFAULT, 0);
  tzset();
  // A form keeps its settings in the user's configuration folder when its
  // own folder is not writable: tests get a folder of their own instead.
  std::string config = (std::filesystem::temp_directory_path() / "tavrin-config-XXXXXX").string();
  if (mkdtemp(config.data()) == nullptr) return 1;
  setenv("XDG_CONFIG_HOME", config.c_str(), 1);
  ::testing::InitGoogleTest(&argc, argv);
  int result = RUN_ALL_TESTS();
  std::error_code ignored;
  std::filesystem::remove_all(config, ignored);
  return result;
}
