#include "propsets/RowReport.h"

#include <algorithm>

namespace tavrin {
namespace {

thread_local RowReport* active = nullptr;

}  // namespace

void RowReport::Mark(RowSet set, int row, RowFate fate) {
  for (RowOutcome& outcome : rows_) {
    if (outcome.set == set && outcome.row == row) outcome.fate = fate;
  }
}

void RowReport::SetFailed(RowSet set) {
  for (RowOutcome& outcome : rows_) {
    if (outcome.set == set && outcome.fate == RowFate::kStored) outcome.fate = RowFate::kSetFailed;
  }
}

const RowOutcome* RowReport::Find(RowSet set, int row) const {
  const auto found = std::find_if(rows_.begin(), rows_.end(), [&](const RowOutcome& outcome) {
    return outcome.set == set && outcome.row == row;
  });
  return found == rows_.end() ? nullptr : &*found;
}

bool RowReport::AnyStored() const {
  return std::any_of(rows_.begin(), rows_.end(),
                     [](const RowOutcome& outcome) { return outcome.fate == RowFate::kStored; });
}

RowReportScope::RowReportScope(RowReport& report) : outer_(active) {
  active = &report;
}

RowReportScope::~RowReportScope() {
  active = outer_;
}

RowReport* ActiveRowReport() {
  return active;
}

}  // namespace tavrin
