#include <gtest/gtest.h>

#include "shell/clock.h"

namespace {

// A stream that moves only when told to, and by the pause's sleep.
struct FakeStream {
  int32_t time = 0;
  int sets = 0;
  uint32_t slept = 0;
};
FakeStream* sleeper = nullptr;

int32_t FakeGet(void* s) { return static_cast<FakeStream*>(s)->time; }
void FakeSet(void* s, int32_t ms) {
  static_cast<FakeStream*>(s)->time = ms;
  ++static_cast<FakeStream*>(s)->sets;
}
void FakeSleep(uint32_t ms) {
  sleeper->slept += ms;
  sleeper->time += int32_t(ms);  // the stream plays on while the loop sleeps
}

ShowClock StreamClock(FakeStream* s) {
  sleeper = s;
  ShowClock c;
  c.source = ClockStream{s, FakeGet, FakeSet, FakeSleep};
  return c;
}

}  // namespace

TEST(TickClock, StartsAtStartTimeWhateverLoadingTookAndSurvivesTheWrap) {
  ShowClock c;
  StartClock(&c, 987654, 0);
  EXPECT_EQ(0, ReadClock(&c, 987654, 0));
  EXPECT_EQ(16, ReadClock(&c, 987670, 0));

  // The 32-bit tick counter wraps after 49.7 days; the difference still holds.
  ShowClock w;
  StartClock(&w, 0xFFFFFF00u, 0);
  EXPECT_EQ(0x200, ReadClock(&w, 0x100u, 0));

  ShowClock later;
  StartClock(&later, 5000, 2500);
  EXPECT_EQ(2500, ReadClock(&later, 5000, 2500));
}

TEST(TickClock, BackSeeksAreIgnoredUntilTheClockPassesTheStep) {
  ShowClock c;
  StartClock(&c, 10000, 0);
  SeekClock(&c, 11000, -1000);  // reads exactly 1000: ignored
  EXPECT_EQ(1000, ReadClock(&c, 11000, 0));
  SeekClock(&c, 11001, -1000);
  EXPECT_EQ(1, ReadClock(&c, 11001, 0));


  ShowClock d;
  StartClock(&d, 10000, 0);
  SeekClock(&d, 13000, -3000);  // reads 3000: ignored
  EXPECT_EQ(3000, ReadClock(&d, 13000, 0));
  SeekClock(&d, 13001, -3000);
  EXPECT_EQ(1, ReadClock(&d, 13001, 0));
}

TEST(TickClock, ForwardSeeksMoveTheClockOn) {
  ShowClock c;
  StartClock(&c, 10000, 0);
  SeekClock(&c, 10000, 3000);
  SeekClock(&c, 10000, 1000);
  EXPECT_EQ(4100, ReadClock(&c, 10100, 0));
}

// Paused, the time holds exactly; after the pause it runs on from the held
// value with no jump, counting only the time since the last held frame.
TEST(TickClock, PauseHoldsTheTimeAndResumesWithoutAJump) {
  ShowClock c;
  StartClock(&c, 10000, 0);
  EXPECT_EQ(5000, ReadClock(&c, 15000, 0));
  TogglePause(&c);
  EXPECT_EQ(5000, ReadClock(&c, 15016, 0));
  EXPECT_EQ(5000, ReadClock(&c, 17000, 0));
  SeekClock(&c, 17010, 3000);  // a seek while paused is undone by the hold
  EXPECT_EQ(5000, ReadClock(&c, 17020, 0));
  TogglePause(&c);
  EXPECT_EQ(5016, ReadClock(&c, 17036, 0));
  EXPECT_EQ(0, c.pausePosition);  // the tick clock keeps no pause position
}

TEST(StreamClock, FirstPassSeeksToTheStartTime) {
  FakeStream s;
  s.time = 777;  // wherever the stream happens to be after starting
  ShowClock c = StreamClock(&s);
  EXPECT_EQ(0, ReadClock(&c, 100, 0));
  EXPECT_EQ(1, s.sets);
  s.time = 20;
  EXPECT_EQ(20, ReadClock(&c, 120, 0));
  EXPECT_EQ(1, s.sets);  // served once
}

TEST(StreamClock, SeeksMoveTheStreamAndBackSeeksClampAtZero) {
  FakeStream s;
  ShowClock c = StreamClock(&s);
  ReadClock(&c, 0, 0);
  s.time = 2500;
  SeekClock(&c, 0, -1000);
  EXPECT_EQ(1500, s.time);
  SeekClock(&c, 0, -3000);
  EXPECT_EQ(0, s.time);
  SeekClock(&c, 0, 3000);
  SeekClock(&c, 0, 1000);
  EXPECT_EQ(4000, ReadClock(&c, 0, 0));
}

// Paused with sound, every pass jumps back to the pause position and sleeps
// 250 ms, so the frame shows 250 ms past it; resuming goes on from there.
TEST(StreamClock, PauseReplaysFromThePausePosition) {
  FakeStream s;
  ShowClock c = StreamClock(&s);
  ReadClock(&c, 0, 0);
  s.time = 4000;
  TogglePause(&c);
  EXPECT_EQ(4000, c.pausePosition);
  s.time = 4100;
  EXPECT_EQ(4250, ReadClock(&c, 0, 0));
  EXPECT_EQ(4250, ReadClock(&c, 0, 0));
  EXPECT_EQ(500u, s.slept);
  TogglePause(&c);
  EXPECT_EQ(4250, ReadClock(&c, 0, 0));
  EXPECT_EQ(500u, s.slept);  // no more sleeping
}
