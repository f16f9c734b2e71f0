#include "frame_stats.h"

#include <algorithm>

double Percentile(std::vector<double>* s, double p) {
  if (s->empty()) return 0.0;
  std::sort(s->begin(), s->end());
  double rank = p / 100.0 * double(s->size() - 1);
  size_t lo = size_t(rank);
  if (lo + 1 >= s->size()) return s->back();
  double f = rank - double(lo);
  return (*s)[lo] + ((*s)[lo + 1] - (*s)[lo]) * f;
}

TimeSummary Summarize(std::vector<double> samples) {
  TimeSummary t;
  t.count = int(samples.size());
  t.p10 = Percentile(&samples, 10);
  t.median = Percentile(&samples, 50);
  t.p90 = Percentile(&samples, 90);
  return t;
}
