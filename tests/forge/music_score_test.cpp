// The score against the show's timeline: bars, section boundaries, and the
// variety rules (no drum pattern held unchanged for more than 16 bars).
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "director/show_windows.h"
#include "synth/score.h"

using namespace synth;

namespace {

const Song& TheSong() {
  static const Song song = [] {
    Song s;
    std::string error;
    EXPECT_TRUE(BuildSong(s, error)) << error;
    return s;
  }();
  return song;
}

bool Silent(const Section& s) { return SilentSection(s.id); }

}  // namespace

TEST(MusicScore, SectionsFollowTheShowsSchedule) {
  std::string error;
  EXPECT_TRUE(CheckSchedule(Sections(), error)) << error;
  // Each section starts where a window of the show starts, except the break,
  // which is the zoom fade into the lens.
  int32_t count = 0;
  const ShowWindow* windows = ShowWindows(&count);
  std::vector<int> windowStarts;
  for (int32_t i = 0; i < count; ++i) windowStarts.push_back(windows[i].fromMs);
  for (const Section& s : Sections()) {
    bool onWindow = std::count(windowStarts.begin(), windowStarts.end(), s.startMs) == 1;
    EXPECT_EQ(onWindow, s.id != kBreak) << s.name;
  }
  const ShowFade* zoom = ShowFadeAt(Sections()[kBreak].startMs + 1);
  ASSERT_NE(zoom, nullptr);
  EXPECT_EQ(zoom->kind, kFadeZoom);
  EXPECT_EQ(Sections()[kBreak].startMs, zoom->envelopeStartMs);
  EXPECT_EQ(Sections()[kBreak].endMs, zoom->toMs);
  EXPECT_GE(Sections().back().endMs, kShowLengthMs);
}

TEST(MusicScore, ScheduleCheckCatchesMovedGappedAndMisorderedSections) {
  std::string error;
  std::vector<Section> moved = Sections();
  moved[kSwarm].startMs += 400;
  moved[kCaveAgain].endMs += 400;
  EXPECT_FALSE(CheckSchedule(moved, error));
  EXPECT_NE(error.find("ball swarm"), std::string::npos) << error;

  std::vector<Section> gap = Sections();
  gap[kLens].startMs += 100;
  EXPECT_FALSE(CheckSchedule(gap, error));
  EXPECT_NE(error.find("gap"), std::string::npos) << error;

  // A break that is a window boundary short of the fade's envelope.
  std::vector<Section> lateBreak = Sections();
  lateBreak[kHeaving].endMs += 1;
  lateBreak[kBreak].startMs += 1;
  EXPECT_FALSE(CheckSchedule(lateBreak, error));

  std::vector<Section> swapped = Sections();
  std::swap(swapped[kSwarm].id, swapped[kClosing].id);
  EXPECT_FALSE(CheckSchedule(swapped, error));

  std::vector<Section> short_ = Sections();
  short_.pop_back();
  EXPECT_FALSE(CheckSchedule(short_, error));
}

TEST(MusicScore, BarsTileEachSectionAndStartOnItsBoundary) {
  std::vector<Bar> bars = ScoreBars();
  const std::vector<Section>& sections = Sections();
  ASSERT_FALSE(bars.empty());
  EXPECT_EQ(bars.front().startMs, 0.0);
  for (size_t i = 0; i < bars.size(); ++i) {
    const Bar& b = bars[i];
    double end = b.startMs + b.beatMs * b.beats;
    double next = i + 1 < bars.size() ? bars[i + 1].startMs : kTrackMs;
    EXPECT_NEAR(end, next, 1e-6) << "bar " << i;
    if (b.index == 0) {
      // The downbeat sits exactly on the section's first sample.
      EXPECT_EQ(b.startMs, sections[b.section].startMs);
      EXPECT_EQ(MsToFrame(b.startMs), static_cast<int64_t>(sections[b.section].startMs) * 441 / 10);
    }
    // Around 150 BPM everywhere the music plays.
    if (!Silent(sections[b.section])) {
      EXPECT_GE(60000.0 / b.beatMs, 140.0) << i;
      EXPECT_LE(60000.0 / b.beatMs, 151.0) << i;
    }
  }
  EXPECT_EQ(MsToFrame(90000), 3969000);
  EXPECT_EQ(MsToFrame(90500), 3991050);
  EXPECT_EQ(MsToFrame(302500), 13340250);
}

TEST(MusicScore, EverySectionOpensWithANoteOnItsFirstSample) {
  const Song& song = TheSong();
  for (const Section& s : Sections()) {
    if (Silent(s)) continue;
    int64_t first = MsToFrame(s.startMs);
    // The opening's first chord starts at 0; later sections are cued on their downbeat.
    bool hit = std::any_of(song.notes.begin(), song.notes.end(), [&](const Note& n) { return n.start == first; });
    EXPECT_TRUE(hit) << s.name;
  }
}

TEST(MusicScore, NothingStartsInTheBreakOrAfterTheEnd) {
  const Song& song = TheSong();
  ASSERT_TRUE(std::is_sorted(song.notes.begin(), song.notes.end(),
                             [](const Note& a, const Note& b) { return a.start < b.start; }));
  for (const Note& n : song.notes) {
    ASSERT_LT(n.patch, song.patches.size());
    ASSERT_GT(n.length, 0);
    for (const Silence& s : song.silences) ASSERT_FALSE(n.start >= s.begin && n.start < s.end) << n.start;
  }
  ASSERT_EQ(song.silences.size(), 2u);
  EXPECT_EQ(song.silences[0].begin, 3969000);
  EXPECT_EQ(song.silences[0].end, 3991050);
  EXPECT_EQ(song.silences[1].begin, 13340250);
  EXPECT_EQ(song.silences[1].end, kTrackFrames);
  EXPECT_EQ(song.frames, kTrackFrames);
}

TEST(MusicScore, DrumPatternsChangeAtLeastEvery16Bars) {
  const Song& song = TheSong();
  std::vector<Bar> bars = ScoreBars();
  // Fingerprint each bar's drums: which drum on which sixteenth, how hard.
  using Hit = std::tuple<int, int, int>;
  std::vector<std::set<Hit>> prints(bars.size());
  size_t b = 0;
  for (const Note& n : song.notes) {
    if (!song.patches[n.patch].drumBus) continue;
    while (b + 1 < bars.size() && MsToFrame(bars[b + 1].startMs) <= n.start) ++b;
    while (b > 0 && MsToFrame(bars[b].startMs) > n.start) --b;
    double step = (n.start - MsToFrame(bars[b].startMs)) / (bars[b].beatMs * 0.25 * 44.1);
    prints[b].insert({n.patch, static_cast<int>(step + 0.5), static_cast<int>(n.velocity * 4.0f + 0.5f)});
  }
  int run = 1, longest = 1;
  for (size_t i = 1; i < prints.size(); ++i) {
    bool same = !prints[i].empty() && prints[i] == prints[i - 1];
    run = same ? run + 1 : 1;
    longest = std::max(longest, run);
  }
  EXPECT_LE(longest, 16);
}

TEST(MusicScore, SectionsUseDifferentInstruments) {
  const Song& song = TheSong();
  std::map<std::string, std::set<int>> used;
  for (const Note& n : song.notes)
    for (const Section& s : Sections())
      if (n.start >= MsToFrame(s.startMs) && n.start < MsToFrame(s.endMs)) used[s.name].insert(n.patch);
  std::vector<std::string> playing;
  for (const Section& s : Sections())
    if (!Silent(s)) playing.push_back(s.name);
  ASSERT_EQ(playing.size(), 7u);
  for (size_t i = 0; i < playing.size(); ++i)
    for (size_t j = i + 1; j < playing.size(); ++j)
      EXPECT_NE(used[playing[i]], used[playing[j]]) << playing[i] << " / " << playing[j];
}
