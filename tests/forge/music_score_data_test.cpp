// The score's tables: the instruments, the note-name parser and each
// section's arrangement, and the messages a bad name in them gives.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "synth/score.h"

using namespace synth;

namespace {

int BarsIn(SectionId id) {
  int n = 0;
  for (const Bar& b : ScoreBars()) n += b.section == id;
  return n;
}

// A one-section score of four Am bars with `part` in it.
SectionScore WithPart(const Part& part) {
  SectionScore s{kSwarm, {"Am", "Am", "Am", "Am"}, {part}};
  return s;
}

std::string CheckError(const SectionScore& s) {
  std::string error;
  EXPECT_FALSE(CheckSection(s, 4, error));
  return error;
}

}  // namespace

TEST(MusicScoreData, EveryPlayingSectionHasAnArrangementThatCoversEachBar) {
  std::vector<int> seen(kSectionCount, 0);
  for (const SectionScore& s : Arrangement()) {
    ASSERT_FALSE(SilentSection(s.id)) << s.id;
    ++seen[s.id];
    int bars = BarsIn(s.id);
    std::string error;
    EXPECT_TRUE(CheckSection(s, bars, error)) << error;
    // Something plays in every bar: no hole left in the arrangement.
    for (int i = 0; i < bars; ++i) {
      bool any = false;
      for (const Part& p : s.parts) any = any || (i >= p.from && i <= p.to && (i - p.from) % p.every == 0);
      EXPECT_TRUE(any) << "section " << s.id << " bar " << i;
    }
  }
  for (int id = 0; id < kSectionCount; ++id)
    EXPECT_EQ(seen[id], SilentSection(static_cast<SectionId>(id)) ? 0 : 1) << id;
}

TEST(MusicScoreData, ThemeBarsAreTaggedInTheArrangement) {
  int theme = 0, total = 0;
  for (const Bar& b : ScoreBars()) {
    ++total;
    theme += b.theme;
    if (b.theme) {
      EXPECT_FALSE(SilentSection(static_cast<SectionId>(b.section)));
    }
  }
  EXPECT_EQ(total, 187);
  // A quarter of the track or more, and a first full statement of four bars
  // or more before the cut at 62.4 s.
  EXPECT_GE(theme, 47);
  std::vector<Bar> bars = ScoreBars();
  int run = 0;
  double fullBy = 1e9;
  for (const Bar& b : bars) {
    run = b.theme ? run + 1 : 0;
    if (run == 4 && fullBy > 1e8) fullBy = b.startMs;
  }
  EXPECT_LT(fullBy, 62400.0);
}

TEST(MusicScoreData, NoteNamesParseOnceForPitchesAndChords) {
  struct {
    const char* text;
    int midi;
  } pitches[] = {{"A4", 69}, {"C4", 60}, {"C#5", 73}, {"Bb3", 58}, {"G#5", 80}, {"E1", 28}, {"Cb4", 59}};
  for (const auto& p : pitches) {
    const char* s = p.text;
    int midi = 0;
    ASSERT_TRUE(ParsePitch(s, midi)) << p.text;
    EXPECT_EQ(midi, p.midi) << p.text;
    EXPECT_EQ(*s, '\0') << p.text;
  }
  // Letters outside A..G (either side of the table), a missing octave, an empty name.
  for (const char* bad : {"H4", "@4", "a4", "c#4", "C", "#4", ""}) {
    const char* s = bad;
    int midi = -7;
    EXPECT_FALSE(ParsePitch(s, midi)) << bad;
    EXPECT_EQ(s, bad) << "a failed parse leaves the text where it was";
  }
  Chord c;
  ASSERT_TRUE(ParseChord("Fmaj7", c));
  EXPECT_EQ(c.root, 5);
  EXPECT_EQ(c.intervals, (std::vector<int>{0, 4, 7, 11}));
  ASSERT_TRUE(ParseChord("Bb", c));
  EXPECT_EQ(c.root, 10);
  EXPECT_EQ(c.intervals, (std::vector<int>{0, 4, 7}));
  ASSERT_TRUE(ParseChord("Cb", c));
  EXPECT_EQ(c.root, 11);
  ASSERT_TRUE(ParseChord("Esus4", c));
  EXPECT_EQ(c.intervals, (std::vector<int>{0, 5, 7}));
  // An unknown quality is an error, not a major triad.
  for (const char* bad : {"Amaj", "Dm13", "H", "h7", "", "am"}) EXPECT_FALSE(ParseChord(bad, c)) << bad;
}

TEST(MusicScoreData, UnknownNamesStopWithAMessageNamingThemAndTheSection) {
  Part line;
  line.play = Play::Line;
  line.patch = kBell;
  line.to = 3;
  line.patterns = {"E5/4 H5/4 C5/8"};
  std::string e = CheckError(WithPart(line));
  EXPECT_NE(e.find("ball swarm"), std::string::npos) << e;
  EXPECT_NE(e.find("H5/4"), std::string::npos) << e;

  Part melody = line;
  melody.patterns.clear();
  melody.sequence = "themeThird";
  e = CheckError(WithPart(melody));
  EXPECT_NE(e.find("unknown pattern \"themeThird\""), std::string::npos) << e;

  Part drums;
  drums.play = Play::Drums;
  drums.to = 3;
  drums.patterns = {"x---x---y---x---"};
  e = CheckError(WithPart(drums));
  EXPECT_NE(e.find("x---x---y---x---"), std::string::npos) << e;
  drums.patterns = {""};
  EXPECT_FALSE(CheckError(WithPart(drums)).empty()) << "an empty pattern would divide by zero";

  Part hit;
  hit.play = Play::Hit;
  hit.to = 3;
  hit.pitch = "K2";
  e = CheckError(WithPart(hit));
  EXPECT_NE(e.find("unknown note \"K2\""), std::string::npos) << e;

  SectionScore chords = WithPart(drums);
  chords.parts.clear();
  chords.chords[2] = "Fsus9";
  e = CheckError(chords);
  EXPECT_NE(e.find("unknown chord \"Fsus9\""), std::string::npos) << e;
  EXPECT_NE(e.find("ball swarm"), std::string::npos) << e;

  // Bars past the section's end, and one chord short.
  Part late = hit;
  late.pitch = "C4";
  late.from = 2;
  late.to = 4;
  EXPECT_FALSE(CheckError(WithPart(late)).empty());
  late.to = 3;
  late.through = 3;
  EXPECT_FALSE(CheckError(WithPart(late)).empty());
  SectionScore shortChords = WithPart(hit);
  shortChords.parts.clear();
  shortChords.chords.pop_back();
  EXPECT_FALSE(CheckError(shortChords).empty());
}

TEST(MusicScoreData, InstrumentTableFillsEveryPatchByName) {
  std::vector<Patch> patches;
  std::string error;
  ASSERT_TRUE(MakePatches(InstrumentTable(), patches, error)) << error;
  ASSERT_EQ(patches.size(), static_cast<size_t>(kPatchCount));
  // A row that starts from another keeps what it does not change.
  EXPECT_EQ(patches[kKickSoft].kind, Kind::Kick);
  EXPECT_EQ(patches[kKickSoft].cutoff, patches[kKick].cutoff);
  EXPECT_EQ(patches[kKickSoft].gain, 0.4f);
  EXPECT_TRUE(patches[kHat].drumBus);
  EXPECT_FALSE(patches[kPadWarm].drumBus);
  EXPECT_EQ(patches[kPadGlass].wave, Wave::Pulse);
  EXPECT_EQ(patches[kPadWarm].amp.release, 1.6f);
  EXPECT_EQ(patches[kLeadSuper].vibratoCents, patches[kLead].vibratoCents);

  std::vector<PatchRow> rows = InstrumentTable();
  rows[3].fields = "kind=snare gian=1.1";
  EXPECT_FALSE(MakePatches(rows, patches, error));
  EXPECT_NE(error.find("gian=1.1"), std::string::npos) << error;
  EXPECT_NE(error.find(rows[3].name), std::string::npos) << error;
  for (const char* bad : {"unison=9", "amp=1/2/3", "wave=square", "cutoff=", "gain=1.0x"}) {
    rows = InstrumentTable();
    rows[0].fields = bad;
    EXPECT_FALSE(MakePatches(rows, patches, error)) << bad;
  }
  rows = InstrumentTable();
  rows[1].like = "kik";
  EXPECT_FALSE(MakePatches(rows, patches, error));
  rows = InstrumentTable();
  rows.pop_back();
  EXPECT_FALSE(MakePatches(rows, patches, error));
}
