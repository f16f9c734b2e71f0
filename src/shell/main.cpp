// The show's entry point. No arguments are read.
#include "shell/main_loop.h"

int main() { return RunShow(); }
