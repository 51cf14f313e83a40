#pragma once
// A file's last-access and last-write times, taken before a change and put
// back after it to the nanosecond: the change then leaves no trace in them.

#include <sys/stat.h>

#include <optional>
#include <string>

#include "platform/Dialogs.h"
#include "platform/controls/CheckListBox.h"

namespace tavrin {

class KeptTimes {
 public:
  // The times of `path` now. A file whose times cannot be read keeps none:
  // the write that follows says what is wrong with it.
  static KeptTimes Take(const std::string& path);

  // Puts back each time that differs now, except one whose row of the
  // file-time `selection` is checked: that one was asked for. A failure is
  // told in `dialogs` as the file-time write tells its own.
  void PutBack(const std::string& path, const CheckListBox& selection, Dialogs& dialogs) const;

  // The file's status as taken, times included; none when it could not be.
  const std::optional<struct statx>& Taken() const { return taken_; }

 private:
  std::optional<struct statx> taken_;
};

}  // namespace tavrin
