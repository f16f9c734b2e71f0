#include "synth/theme.h"

#include "synth/score.h"

namespace synth {

// The arrangement tags the parts that play the theme; a bar is a theme bar
// when one of them plays in it.
std::vector<int> ThemeBars() {
  std::vector<int> bars;
  std::vector<Bar> all = ScoreBars();
  for (size_t i = 0; i < all.size(); ++i)
    if (all[i].theme) bars.push_back(static_cast<int>(i));
  return bars;
}

}  // namespace synth
