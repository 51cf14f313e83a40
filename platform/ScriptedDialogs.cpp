#include "platform/ScriptedDialogs.h"

#include <stdexcept>

namespace tavrin {

void ScriptedDialogs::Message(std::string_view text) {
  shown_.push_back({Kind::kMessage, title_, std::string(text)});
}

bool ScriptedDialogs::Confirm(std::string_view text) {
  shown_.push_back({Kind::kConfirm, ConfirmCaption(), std::string(text)});
  return NextAnswer(shown_.back());
}

bool ScriptedDialogs::Warn(std::string_view text) {
  shown_.push_back({Kind::kWarn, WarningCaption(), std::string(text)});
  return NextAnswer(shown_.back());
}

void ScriptedDialogs::ReportError(std::string_view text) {
  shown_.push_back({Kind::kError, title_, std::string(text)});
}

bool ScriptedDialogs::NextAnswer(const Shown& question) {
  if (!answers_.empty()) {
    bool answer = answers_.front();
    answers_.pop_front();
    return answer;
  }
  if (standing_) return *standing_;
  throw std::logic_error("no answer scripted for the question: " + question.text);
}

}  // namespace tavrin
