// The main of every test program: results must not depend on the machine's
// zone or language, so both are fixed here; a test that needs another zone
// sets it itself.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

int main(int argc, char** argv) {
  setenv("TZ", "Asia/Tokyo", 1);
  setenv("LC_ALL", "C.UTF-8", 1);
  setenv("LANG", "C.UTF-8", 1);
  // Real documents are optional test input: tests that read them skip when
  // the folder is missing.
  setenv("TAVRIN_CORPUS", TAVRIN_CORPUS_DEFAULT, 0);
  tzset();
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
