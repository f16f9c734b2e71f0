// marvoke-icon DIR FILE.png SIZE: the desktop icon from the data forged into DIR.
#include <cstdio>
#include <cstdlib>

#include "icon.h"

int main(int argc, char** argv) {
  if (argc != 4) {
    fputs("usage: marvoke-icon DIR FILE.png SIZE\n", stderr);
    return 2;
  }
  char* end = nullptr;
  const long size = strtol(argv[3], &end, 10);
  if (end == argv[3] || *end) {
    fprintf(stderr, "marvoke-icon: SIZE takes a whole number, not \"%s\"\n", argv[3]);
    return 2;
  }
  return WriteIcon(argv[1], argv[2], int(size)) ? 0 : 1;
}
