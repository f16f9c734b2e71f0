// The one error report of the asset readers: an unreadable image or model file.
#pragma once

// Formats "Can't load file %s", prints it to stderr (there may be no display
// to show a box on), shows the mouse cursor and a message box titled
// "File read error", then requests quit. Loading goes on; the main loop ends
// at its next pass.
void ReportFileReadError(const char* path);

// How many files could not be read since the program started: the player and
// the renderer end with exit code 1 when any could not, whatever came after.
int FileReadErrorCount();

// The box itself; the default shows an SDL message box with one OK button and
// no owner window. Tests swap it for one that records the text.
using MessageBoxFunction = void (*)(const char* text, const char* caption);
void SetFileErrorBox(MessageBoxFunction box);
