#include "capture_options.h"

bool CheckVideoSize(int width, int height, const std::string& pixFmt, std::string* error) {
  if (width < 16 || height < 16 || width > 8192 || height > 8192) {
    *error = "video size " + std::to_string(width) + "x" + std::to_string(height) +
             " is outside 16x16 to 8192x8192";
    return false;
  }
  // Chroma subsampled formats halve the width (4:2:x) and the height (4:2:0).
  bool halfWidth = pixFmt.find("420") != std::string::npos ||
                   pixFmt.find("422") != std::string::npos || pixFmt == "nv12" ||
                   pixFmt == "nv21" || pixFmt == "yuyv422" || pixFmt == "uyvy422";
  bool halfHeight = pixFmt.find("420") != std::string::npos || pixFmt == "nv12" ||
                    pixFmt == "nv21";
  if ((halfWidth && width % 2) || (halfHeight && height % 2)) {
    *error = "video size " + std::to_string(width) + "x" + std::to_string(height) +
             " cannot be encoded as " + pixFmt + ": it needs an even " +
             (halfWidth && width % 2 ? "width" : "height");
    return false;
  }
  return true;
}

bool IsSegmentedCapture(const CaptureOptions& o) {
  return !o.bench && o.curveOf.empty() &&
         (!o.videoPath.empty() || o.segmentsAsked);
}
