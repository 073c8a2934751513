// Helpers shared by the implementation files of TFuzzySet; not part of the library's interface.
#pragma once

#include <vector>

#include "FuzzySet.h"

namespace vaguecore {

// Holds an update bracket of a collection open for its lifetime.
class TBracket {
 public:
  explicit TBracket(platform::TCollection& C) noexcept : C_(C) { C_.BeginUpdate(); }
  ~TBracket() { C_.EndUpdate(); }
  TBracket(const TBracket&) = delete;
  TBracket& operator=(const TBracket&) = delete;

 private:
  platform::TCollection& C_;
};

// While it lives, the set edits its own points without reporting each change; the edit ends with
// PointsEdited (or with the set's own report).
class TFuzzySet::TQuietEdit {
 public:
  explicit TQuietEdit(TFuzzySet& S) noexcept : S_(S) { ++S_.QuietEdits_; }
  ~TQuietEdit() { --S_.QuietEdits_; }
  TQuietEdit(const TQuietEdit&) = delete;
  TQuietEdit& operator=(const TQuietEdit&) = delete;

 private:
  TFuzzySet& S_;
};

inline TFzyFloat Squared(TFzyFloat V) noexcept { return V * V; }

}  // namespace vaguecore
