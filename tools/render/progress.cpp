#include "progress.h"

#include <sys/ioctl.h>
#include <time.h>
#include <unistd.h>

#include <cinttypes>
#include <cstring>

double WallSeconds() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

std::string FormatProgress(int64_t done, int64_t total, int32_t showMs, double elapsed,
                           int barWidth) {
  std::string line;
  if (barWidth > 0) {
    int filled = total > 0 ? int(done * barWidth / total) : barWidth;
    line = "[" + std::string(size_t(filled), '#') + std::string(size_t(barWidth - filled), '.') +
           "]  ";
  }
  double fps = elapsed > 0 ? double(done) / elapsed : 0.0;
  char text[160];
  // Segments rendered side by side have no one show time.
  if (showMs >= 0)
    snprintf(text, sizeof text, "%" PRId64 "/%" PRId64 " frames  show %.1f s  %.1f fps", done,
             total, showMs * 0.001, fps);
  else
    snprintf(text, sizeof text, "%" PRId64 "/%" PRId64 " frames  %.1f fps", done, total, fps);
  line += text;
  if (done > 0 && done < total && fps > 0) {
    int64_t left = int64_t(double(total - done) / fps + 0.5);
    snprintf(text, sizeof text, "  left %" PRId64 ":%02" PRId64, left / 60, left % 60);
    line += text;
  }
  return line;
}

void BeginProgress(Progress* p, FILE* out, const char* label, int64_t totalFrames) {
  p->out = out;
  p->terminal = isatty(fileno(out));
  p->label = label;
  p->total = totalFrames;
  p->startSeconds = WallSeconds();
  p->lastDrawn = -1;
  p->lastDrawSeconds = 0;
  p->tenthsShown = 0;
}

namespace {

// The bar shrinks so the line never wraps: a wrapped line can't be redrawn in place.
void DrawBar(Progress* p, int64_t done, int32_t showMs, double elapsed) {
  std::string text = FormatProgress(done, p->total, showMs, elapsed, 0);
  int columns = 80;
  winsize ws;
  if (ioctl(fileno(p->out), TIOCGWINSZ, &ws) == 0 && ws.ws_col > 0) columns = ws.ws_col;
  int bar = columns - 1 - int(strlen(p->label)) - 1 - 4 - int(text.size());
  if (bar > 30) bar = 30;
  if (bar < 5) bar = 0;
  fprintf(p->out, "\r%s %s\033[K", p->label,
          FormatProgress(done, p->total, showMs, elapsed, bar).c_str());
  fflush(p->out);
}

}  // namespace

void UpdateProgress(Progress* p, int64_t done, int32_t showMs) {
  double now = WallSeconds();
  if (p->terminal) {
    // A few redraws a second are plenty and keep the terminal cheap.
    if (done < p->total && now - p->lastDrawSeconds < 0.2) return;
    p->lastDrawSeconds = now;
    p->lastDrawn = done;
    DrawBar(p, done, showMs, now - p->startSeconds);
    return;
  }
  int tenths = p->total > 0 ? int(done * 10 / p->total) : 10;
  if (tenths <= p->tenthsShown) return;
  p->tenthsShown = tenths;
  fprintf(p->out, "%s %3d%%  %s\n", p->label, tenths * 10,
          FormatProgress(done, p->total, showMs, now - p->startSeconds, 0).c_str());
  fflush(p->out);
}

void EndProgress(Progress* p, int64_t done, int32_t showMs) {
  if (p->terminal) {
    p->lastDrawSeconds = 0;
    if (p->lastDrawn != done) DrawBar(p, done, showMs, WallSeconds() - p->startSeconds);
    fputc('\n', p->out);
    fflush(p->out);
  }
}
