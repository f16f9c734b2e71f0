// marvoke-render: the show on the headless backend.
#include <cstdio>

#include "shell/headless.h"

int main() {
  HeadlessInfo info;
  if (!OpenHeadless(1024, 768, &info)) return 1;
  printf("Headless GL on %s: %s\n", info.platform, info.renderer);
  CloseHeadless();
  return 0;
}
