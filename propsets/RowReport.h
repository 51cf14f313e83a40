#pragma once
// What a write made of each selected row, for a caller that tells the user
// row by row (a rehearsal above all). The writes fill the report in force on
// their thread; none is kept when no scope lives.

#include <string>
#include <vector>

#include "grids/RowCatalogue.h"

namespace tavrin {

enum class RowFate {
  kStored,     // the new value went in (or, in a rehearsal, would)
  kSame,       // the file holds that value already
  kMissing,    // the set lacks the property: nothing is added
  kCodePage,   // the set's code page cannot hold the text: the set is refused
  kTypeKeeps,  // the property's type cannot hold the value: it keeps its own
  kSetFailed,  // the row was fine, but its set's write failed
};

struct RowOutcome {
  RowSet set;
  int row;
  std::string before;  // the row's text as the file's read shows it (CP932)
  std::string after;   // the text asked for
  RowFate fate;
  bool read = true;  // false when no write got as far as reading the row
};

class RowReport {
 public:
  void Add(RowOutcome outcome) { rows_.push_back(std::move(outcome)); }
  // A refusal learned once the whole set was tried.
  void Mark(RowSet set, int row, RowFate fate);
  // The set's write failed: no row of it that would have gone in did.
  void SetFailed(RowSet set);
  const std::vector<RowOutcome>& Rows() const { return rows_; }
  const RowOutcome* Find(RowSet set, int row) const;
  bool AnyStored() const;

 private:
  std::vector<RowOutcome> rows_;
};

// Puts `report` in force on this thread for the life of this object.
class RowReportScope {
 public:
  explicit RowReportScope(RowReport& report);
  ~RowReportScope();
  RowReportScope(const RowReportScope&) = delete;
  RowReportScope& operator=(const RowReportScope&) = delete;

 private:
  RowReport* outer_;
};

// The report in force on this thread, or null.
RowReport* ActiveRowReport();

}  // namespace tavrin
