#include "core/command_line.h"

#include <getopt.h>

#include <cstdarg>
#include <cstring>

#ifndef MARVOKE_VERSION
#define MARVOKE_VERSION "unknown"
#endif

const char* MarvokeVersion() { return MARVOKE_VERSION; }

HelpRequest FindHelpRequest(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (strcmp(argv[i], "--") == 0) break;
    if (strcmp(argv[i], "--help") == 0 || strcmp(argv[i], "-h") == 0) return HelpRequest::kHelp;
    if (strcmp(argv[i], "--version") == 0) return HelpRequest::kVersion;
  }
  return HelpRequest::kNone;
}

bool IsMissingValue(const char* value) { return !value || strncmp(value, "--", 2) == 0; }

int UsageError(FILE* err, const char* program, const char* format, ...) {
  fprintf(err, "%s: ", program);
  va_list args;
  va_start(args, format);
  vfprintf(err, format, args);
  va_end(args);
  fprintf(err, "\nTry '%s --help'.\n", program);
  return 2;
}

const char* LastOptionName(int argc, char** argv, char* buffer, int size) {
  const char* arg = optind > 0 && optind <= argc ? argv[optind - 1] : "?";
  const char* eq = strchr(arg, '=');
  int length = eq ? int(eq - arg) : int(strlen(arg));
  if (length >= size) length = size - 1;
  memcpy(buffer, arg, size_t(length));
  buffer[length] = '\0';
  return buffer;
}

bool LinesFit(const char* text, int columns) {
  int column = 0;
  for (const char* p = text; *p; ++p) {
    if (*p == '\n') {
      column = 0;
    } else if (++column > columns) {
      return false;
    }
  }
  return true;
}
