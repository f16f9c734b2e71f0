#include "contact_sheet.h"

#include <cstdio>
#include <cstring>

#include "shell/capture.h"

namespace {

// 3x5 glyphs, one row per entry, bit 2 the left column.
const uint8_t kDigits[10][5] = {
    {7, 5, 5, 5, 7}, {2, 6, 2, 2, 7}, {7, 1, 7, 4, 7}, {7, 1, 7, 1, 7}, {5, 5, 7, 1, 1},
    {7, 4, 7, 1, 7}, {7, 4, 7, 5, 7}, {7, 1, 1, 2, 2}, {7, 5, 7, 5, 7}, {7, 5, 7, 1, 7}};
const uint8_t kColon[5] = {0, 2, 0, 2, 0};
const uint8_t kDot[5] = {0, 0, 0, 0, 2};

}  // namespace

std::string SheetTimeLabel(int32_t ms) {
  if (ms < 0) ms = 0;
  char text[32];
  snprintf(text, sizeof text, "%d:%02d.%03d", ms / 60000, ms / 1000 % 60, ms % 1000);
  return text;
}

void DrawSheetText(uint8_t* rgb, int width, int height, int x, int y, const char* text, int scale,
                   uint8_t r, uint8_t g, uint8_t b) {
  for (; *text; ++text, x += 4 * scale) {
    const uint8_t* glyph = nullptr;
    if (*text >= '0' && *text <= '9') glyph = kDigits[*text - '0'];
    if (*text == ':') glyph = kColon;
    if (*text == '.') glyph = kDot;
    if (!glyph) continue;
    for (int gy = 0; gy < 5 * scale; ++gy) {
      for (int gx = 0; gx < 3 * scale; ++gx) {
        if (!(glyph[gy / scale] >> (2 - gx / scale) & 1)) continue;
        int px = x + gx, py = y + gy;
        if (px < 0 || py < 0 || px >= width || py >= height) continue;
        uint8_t* p = rgb + (size_t(py) * width + px) * 3;
        p[0] = r;
        p[1] = g;
        p[2] = b;
      }
    }
  }
}

int SheetWidth(const ContactSheet& s) { return s.columns * (s.frameWidth / s.shrink); }

int SheetHeight(const ContactSheet& s) {
  int rows = (s.cells + s.columns - 1) / s.columns;
  return rows * (s.frameHeight / s.shrink + s.labelHeight);
}

void BeginSheet(ContactSheet* s, int frameWidth, int frameHeight, int cells) {
  s->frameWidth = frameWidth;
  s->frameHeight = frameHeight;
  // A quarter of the frame, and no more than about 256 pixels across for
  // frames larger than the show's own.
  s->shrink = frameWidth / 256 > 4 ? frameWidth / 256 : 4;
  s->cells = cells < 1 ? 1 : cells;
  s->columns = s->cells < 8 ? s->cells : 8;
  s->filled = 0;
  s->rgb.assign(size_t(SheetWidth(*s)) * SheetHeight(*s) * 3, 0);
}

std::vector<uint8_t> ShrinkSheetFrame(const ContactSheet& sheet, const uint8_t* frame) {
  const ContactSheet* s = &sheet;
  int tw = s->frameWidth / s->shrink, th = s->frameHeight / s->shrink;
  std::vector<uint8_t> thumb(size_t(tw) * th * 3);
  int n = s->shrink * s->shrink;
  for (int ty = 0; ty < th; ++ty) {
    uint8_t* out = thumb.data() + size_t(ty) * tw * 3;
    for (int tx = 0; tx < tw; ++tx) {
      int sum[3] = {0, 0, 0};
      for (int dy = 0; dy < s->shrink; ++dy) {
        // Frames come bottom row first; the sheet is top row first.
        int fy = s->frameHeight - 1 - (ty * s->shrink + dy);
        const uint8_t* in = frame + (size_t(fy) * s->frameWidth + tx * s->shrink) * 3;
        for (int dx = 0; dx < s->shrink; ++dx)
          for (int c = 0; c < 3; ++c) sum[c] += in[dx * 3 + c];
      }
      for (int c = 0; c < 3; ++c) out[tx * 3 + c] = uint8_t((sum[c] + n / 2) / n);
    }
  }
  return thumb;
}

void PlaceSheetCell(ContactSheet* s, const uint8_t* thumb, int32_t musicMs) {
  if (s->filled >= s->cells) return;
  int tw = s->frameWidth / s->shrink, th = s->frameHeight / s->shrink;
  int width = SheetWidth(*s);
  int cellX = s->filled % s->columns * tw;
  int cellY = s->filled / s->columns * (th + s->labelHeight);
  for (int ty = 0; ty < th; ++ty)
    memcpy(s->rgb.data() + (size_t(cellY + ty) * width + cellX) * 3, thumb + size_t(ty) * tw * 3,
           size_t(tw) * 3);
  // A grey strip under each picture keeps dark frames apart on the sheet.
  for (int y = cellY + th; y < cellY + th + s->labelHeight; ++y)
    for (int x = cellX; x < cellX + tw - 1; ++x)
      for (int c = 0; c < 3; ++c) s->rgb[(size_t(y) * width + x) * 3 + c] = 48;
  DrawSheetText(s->rgb.data(), width, SheetHeight(*s), cellX + 3, cellY + th + 2,
                SheetTimeLabel(musicMs).c_str(), 2, 255, 255, 255);
  ++s->filled;
}

void AddSheetFrame(ContactSheet* s, const uint8_t* frame, int32_t musicMs) {
  if (s->filled >= s->cells) return;
  PlaceSheetCell(s, ShrinkSheetFrame(*s, frame).data(), musicMs);
}

bool WriteSheet(const ContactSheet& s, const std::string& path) {
  return WritePng(path.c_str(), SheetWidth(s), SheetHeight(s), s.rgb.data(), false);
}
