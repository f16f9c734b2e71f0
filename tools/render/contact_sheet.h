// Contact sheet: a grid of small frames taken every few seconds of the show,
// each labelled with its music time, written as one PNG.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct ContactSheet {
  int frameWidth = 1024, frameHeight = 768;
  int shrink = 4;      // thumbnails are frame / shrink
  int columns = 8;
  int labelHeight = 14;
  int cells = 0;       // cells in the grid
  int filled = 0;      // cells drawn so far
  std::vector<uint8_t> rgb;  // top row first
};

void BeginSheet(ContactSheet* sheet, int frameWidth, int frameHeight, int cells);
// Box-filters a bottom-up RGB frame into the next cell and labels it with musicMs.
void AddSheetFrame(ContactSheet* sheet, const uint8_t* frameRgbBottomUp, int32_t musicMs);
// The two halves of AddSheetFrame, for a sheet made after the frames: the
// thumbnail (frame / shrink, top row first), and its placement in the next cell
// with the label.
std::vector<uint8_t> ShrinkSheetFrame(const ContactSheet& sheet, const uint8_t* frameRgbBottomUp);
void PlaceSheetCell(ContactSheet* sheet, const uint8_t* thumbnail, int32_t musicMs);
int SheetWidth(const ContactSheet& sheet);
int SheetHeight(const ContactSheet& sheet);
bool WriteSheet(const ContactSheet& sheet, const std::string& path);

// Draws text in the built-in 3x5 digit font (digits, ':', '.', ' ') scaled by
// `scale` into a top-down RGB image; other characters advance as blanks.
void DrawSheetText(uint8_t* rgb, int width, int height, int x, int y, const char* text, int scale,
                   uint8_t r, uint8_t g, uint8_t b);

// "2:31.500" for 151500 ms.
std::string SheetTimeLabel(int32_t musicMs);
