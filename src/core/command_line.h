// The command-line habits the player, the renderer and the forge share:
// getopt_long tables, --help and --version wherever they stand on the line,
// a usage error as one line and a pointer to --help, exit code 2.
#pragma once
#include <cstdio>

// The version every program's --version prints (the project's, from the build).
const char* MarvokeVersion();

enum class HelpRequest { kNone, kHelp, kVersion };

// The first --help or --version on the line, before a "--" that ends the
// options. Looked for before parsing, so `--video --help` asks for help
// instead of naming a file "--help", and a bad option elsewhere does not hide it.
HelpRequest FindHelpRequest(int argc, char** argv);

// An option's value that is missing or is the next option ("--video --png x"):
// a required value never starts with "--".
bool IsMissingValue(const char* value);

// Prints "program: message" and "Try 'program --help'." on `err`; returns 2,
// the exit code of a usage error.
int UsageError(FILE* err, const char* program, const char* format, ...)
    __attribute__((format(printf, 3, 4)));

// The option getopt_long just stopped at, for messages: argv[optind - 1],
// cut at its '=' so a value given with it is not repeated.
const char* LastOptionName(int argc, char** argv, char* buffer, int size);

// Whether every line of `text` fits in `columns` columns (help texts keep 80).
bool LinesFit(const char* text, int columns);
