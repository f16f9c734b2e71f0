#include "forge_text.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cerrno>  // program_invocation_short_name
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#ifndef MARVOKE_FONT
#define MARVOKE_FONT ""
#endif
#ifndef MARVOKE_FONT_BOLD
#define MARVOKE_FONT_BOLD ""
#endif

namespace {

// The regular and the bold face, as configured or as fontconfig finds them.
const char* const kConfigured[2] = {MARVOKE_FONT, MARVOKE_FONT_BOLD};
const char* const kPatterns[2] = {"DejaVu Sans:style=Book", "DejaVu Sans:style=Bold"};

// One library and two faces for the whole run; only the thread that forges
// the images draws text.
FT_Library library = nullptr;
FT_Face faces[2] = {nullptr, nullptr};
bool failed = false;

// The font file for a face: the build's MARVOKE_FONT(_BOLD), else fc-match's
// answer; "" when neither gives one.
std::string FontFile(int i) {
  if (*kConfigured[i]) return kConfigured[i];
  const std::string command = std::string("fc-match -f '%{file}' '") + kPatterns[i] + "' 2>/dev/null";
  FILE* p = popen(command.c_str(), "r");
  if (!p) return "";
  std::string file;
  char buf[512];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) file.append(buf, n);
  return pclose(p) == 0 ? file : "";
}

FT_Face Face(bool bold) {
  if (failed) return nullptr;
  if (!library && FT_Init_FreeType(&library) != 0) {
    fprintf(stderr, "%s: FreeType won't start\n", program_invocation_short_name);
    failed = true;
    return nullptr;
  }
  int i = bold ? 1 : 0;
  if (faces[i]) return faces[i];
  const std::string file = FontFile(i);
  if (file.empty() || FT_New_Face(library, file.c_str(), 0, &faces[i]) != 0) {
    fprintf(stderr,
            "%s: can't load the font %s%s%s (DejaVu Sans: fonts-dejavu-core, dejavu-sans-fonts "
            "or ttf-dejavu; or configure with -DMARVOKE_FONT%s=FILE)\n",
            program_invocation_short_name, kPatterns[i], file.empty() ? "" : " from ",
            file.c_str(), bold ? "_BOLD" : "");
    faces[i] = nullptr;
    failed = true;
    return nullptr;
  }
  // fontconfig offers a stand-in for a missing family; the pictures differ
  // with any other font or version, so the file is always named.
  const FT_Face f = faces[i];
  fprintf(stderr, "%s: font %s %s from %s\n", program_invocation_short_name,
          f->family_name ? f->family_name : "?", f->style_name ? f->style_name : "?",
          file.c_str());
  if (!f->family_name || strcmp(f->family_name, "DejaVu Sans") != 0)
    fprintf(stderr, "%s: that is not DejaVu Sans: the pictures will not match the show's\n",
            program_invocation_short_name);
  return f;
}

}  // namespace

Coverage MakeCoverage(int width, int height) {
  Coverage c;
  c.width = width;
  c.height = height;
  c.a.assign(size_t(width) * height, 0.0f);
  return c;
}

int MeasureText(const std::string& text, int emWidth, int emHeight, bool bold) {
  FT_Face face = Face(bold);
  if (!face) return 0;
  FT_Set_Pixel_Sizes(face, FT_UInt(emWidth), FT_UInt(emHeight));
  long pen = 0;
  for (unsigned char ch : text) {
    if (FT_Load_Char(face, ch, FT_LOAD_DEFAULT) != 0) continue;
    pen += face->glyph->advance.x;
  }
  return int(pen >> 6);
}

bool DrawText(Coverage& c, const std::string& text, float cx, int baseline, int emWidth,
              int emHeight, bool bold) {
  FT_Face face = Face(bold);
  if (!face) return false;
  int width = MeasureText(text, emWidth, emHeight, bold);
  FT_Set_Pixel_Sizes(face, FT_UInt(emWidth), FT_UInt(emHeight));
  int pen = int(std::lround(cx - 0.5f * float(width)));
  for (unsigned char ch : text) {
    if (FT_Load_Char(face, ch, FT_LOAD_RENDER) != 0) continue;
    FT_GlyphSlot g = face->glyph;
    const FT_Bitmap& bm = g->bitmap;
    for (unsigned row = 0; row < bm.rows; ++row) {
      int y = baseline - g->bitmap_top + int(row);
      if (y < 0 || y >= c.height) continue;
      for (unsigned col = 0; col < bm.width; ++col) {
        int x = pen + g->bitmap_left + int(col);
        if (x < 0 || x >= c.width) continue;
        float v = bm.buffer[row * bm.pitch + col] / 255.0f;
        float& dst = c.a[size_t(y) * c.width + x];
        dst = std::max(dst, v);
      }
    }
    pen += int(g->advance.x >> 6);
  }
  return true;
}

int FitEm(const std::string& text, int width, float squash, bool bold) {
  const int probe = 100;
  int w = MeasureText(text, probe, std::max(1, int(probe * squash)), bold);
  if (w <= 0) return probe;
  int em = std::max(4, int(float(probe) * float(width) / float(w)));
  return em;
}

Coverage BlurCoverage(const Coverage& src, int radius, int passes) {
  Coverage c = src;
  std::vector<float> tmp(c.a.size());
  const float norm = 1.0f / float(2 * radius + 1);
  for (int p = 0; p < passes; ++p) {
    for (int y = 0; y < c.height; ++y) {
      for (int x = 0; x < c.width; ++x) {
        float s = 0;
        for (int k = -radius; k <= radius; ++k) {
          int xx = std::clamp(x + k, 0, c.width - 1);
          s += c.a[size_t(y) * c.width + xx];
        }
        tmp[size_t(y) * c.width + x] = s * norm;
      }
    }
    for (int y = 0; y < c.height; ++y) {
      for (int x = 0; x < c.width; ++x) {
        float s = 0;
        for (int k = -radius; k <= radius; ++k) {
          int yy = std::clamp(y + k, 0, c.height - 1);
          s += tmp[size_t(yy) * c.width + x];
        }
        c.a[size_t(y) * c.width + x] = s * norm;
      }
    }
  }
  return c;
}
