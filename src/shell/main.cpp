// The show's entry point.
#include <cstdio>

int main() {
  printf("Marvoke\n");
  return 0;
}
