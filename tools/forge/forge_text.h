// Text for the pictures, rendered with FreeType from DejaVu Sans, found
// through fontconfig (fc-match) or named at configure time (MARVOKE_FONT,
// MARVOKE_FONT_BOLD). The file used is named on standard error.
#pragma once
#include <string>
#include <vector>

// Coverage plane of a picture: one float 0..1 a pixel, top row first.
struct Coverage {
  int width = 0;
  int height = 0;
  std::vector<float> a;
};
Coverage MakeCoverage(int width, int height);

// Width in pixels of `text` set with an em of emWidth x emHeight pixels.
int MeasureText(const std::string& text, int emWidth, int emHeight, bool bold = true);
// Draws text centred on column cx with its baseline on row baseline; emHeight
// below emWidth squeezes the letters (pictures that are stretched on screen).
// Returns false with a message when the font can't be used.
bool DrawText(Coverage& c, const std::string& text, float cx, int baseline, int emWidth,
              int emHeight, bool bold = true);
// Picks the em width at which text is `width` pixels wide, with the height
// at `squash` times the width.
int FitEm(const std::string& text, int width, float squash, bool bold = true);

// Separable box blur, repeated for a smooth halo.
Coverage BlurCoverage(const Coverage& c, int radius, int passes);
