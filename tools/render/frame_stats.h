// Frame time statistics for the benchmark.
#pragma once
#include <vector>

struct TimeSummary {
  int count = 0;
  double p10 = 0, median = 0, p90 = 0;  // same unit as the samples
};

// Percentile p (0..100) by linear interpolation between the nearest ranks;
// 0 for no samples. Sorts `samples` in place.
double Percentile(std::vector<double>* samples, double p);
TimeSummary Summarize(std::vector<double> samples);
