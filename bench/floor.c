/* The least any reader of the corpus pays per document: open it, read four
   sectors, close it. bench/floor-corpus.sh compiles and runs this over the
   same files as bench/show-corpus.sh, so their ratio can be told on any
   machine. */
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <time.h>
#include <unistd.h>

int main(int argc, char** argv) {
  if (argc < 3) {
    fprintf(stderr, "usage: floor ROUNDS FILE...\n");
    return 2;
  }
  char sector[512];
  const int rounds = atoi(argv[1]);
  long files = 0;
  struct timespec start, end;
  clock_gettime(CLOCK_MONOTONIC, &start);
  for (int r = 0; r < rounds; ++r) {
    for (int i = 2; i < argc; ++i) {
      const int fd = open(argv[i], O_RDONLY | O_CLOEXEC);
      if (fd < 0) continue;
      for (int k = 0; k < 4; ++k) {
        if (pread(fd, sector, sizeof sector, (off_t)k * 512) < 0) break;
      }
      close(fd);
      ++files;
    }
  }
  clock_gettime(CLOCK_MONOTONIC, &end);
  const double us = ((end.tv_sec - start.tv_sec) * 1e9 + (end.tv_nsec - start.tv_nsec)) / 1e3;
  printf("%ld files: %.2f us per file (open, four sector reads, close)\n", files, us / files);
  return 0;
}
