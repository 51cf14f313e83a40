#pragma once

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "platform/Dialogs.h"

namespace tavrin {

// Dialogs without a screen: each box is recorded with its caption and text,
// and each question takes the next queued answer, or the standing answer
// when none is queued. A question with neither is a fault of the script.
class ScriptedDialogs : public Dialogs {
 public:
  enum class Kind { kMessage, kConfirm, kWarn, kError };
  struct Shown {
    Kind kind;
    std::string caption;  // CP932
    std::string text;     // CP932
    friend bool operator==(const Shown&, const Shown&) = default;
  };

  explicit ScriptedDialogs(std::string programTitle) : title_(std::move(programTitle)) {}

  void QueueAnswer(bool answer) { answers_.push_back(answer); }
  void SetStandingAnswer(std::optional<bool> answer) { standing_ = answer; }

  const std::vector<Shown>& ShownBoxes() const { return shown_; }
  void Clear() { shown_.clear(); }

  void Message(std::string_view text) override;
  bool Confirm(std::string_view text) override;
  bool Warn(std::string_view text) override;
  void ReportError(std::string_view text) override;

 private:
  bool NextAnswer(const Shown& question);

  std::string title_;
  std::deque<bool> answers_;
  std::optional<bool> standing_;
  std::vector<Shown> shown_;
};

}  // namespace tavrin
