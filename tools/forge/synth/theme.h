// Which of the score's bars carry the main theme, whole or in part, for the
// music report's theme coverage.
#pragma once
#include <vector>

namespace synth {

// Indices into ScoreBars(), ascending. Empty until the arrangement tags its
// theme bars; the report then shows a coverage of 0.
std::vector<int> ThemeBars();

}  // namespace synth
