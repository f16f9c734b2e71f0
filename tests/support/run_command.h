// Runs a shell command line for tests that drive a program or this test
// binary from outside.
#pragma once
#include <string>

// Runs `command` through the shell with standard error joined to standard
// output, appends what it prints to *out and returns its exit status (-1
// when it could not start or died on a signal).
int RunCommandLine(const std::string& command, std::string* out);
