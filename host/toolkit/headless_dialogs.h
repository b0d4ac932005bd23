#pragma once
// Dialogs without a screen: every dialog is written to a transcript (and handed
// to an optional listener as it happens); pick lists take scripted answers.
#include <deque>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "host/toolkit/dialogs.h"

namespace tk {

struct DialogEvent {
  enum class Kind { Error, Information, Plain, PickOne, PickMany, BusyShow, BusyHide };
  Kind kind;
  std::string text;                            // message text, list title or busy caption
  std::vector<std::vector<std::string>> rows;  // the rows a pick list offered
  bool operator==(const DialogEvent&) const = default;
};

const char* DialogEventKindName(DialogEvent::Kind kind);

// The answer to the next pick list. A value answer chooses the rows whose first
// visible column equals one of the values.
struct PickAnswer {
  enum class How { Rows, Values, Cancel };
  How how = How::Cancel;
  std::vector<std::size_t> rows;
  std::vector<std::string> values;

  static PickAnswer Row(std::size_t row) { return {How::Rows, {row}, {}}; }
  static PickAnswer Rows(std::vector<std::size_t> rows) { return {How::Rows, std::move(rows), {}}; }
  static PickAnswer Value(std::string value) { return {How::Values, {}, {std::move(value)}}; }
  static PickAnswer Values(std::vector<std::string> values) { return {How::Values, {}, std::move(values)}; }
  static PickAnswer Cancel() { return {}; }
};

// Raised when a pick list opens with no scripted answer, or when an answer
// names a row or value the list does not hold.
class UnscriptedDialog : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class HeadlessDialogs : public IDialogs {
 public:
  void ShowMessage(MessageKind kind, const std::string& text) override;
  std::optional<std::size_t> PickOne(const PickList& list) override;
  std::optional<std::vector<std::size_t>> PickMany(const PickList& list) override;
  void BusyShow(const std::string& form_caption, int kind, const std::string& text) override;
  void BusyHide() override;

  void ScriptPick(PickAnswer answer) { answers_.push_back(std::move(answer)); }
  std::size_t PendingAnswers() const { return answers_.size(); }

  const std::vector<DialogEvent>& Transcript() const { return transcript_; }
  void ClearTranscript() { transcript_.clear(); }
  // Whether the busy animation is showing now.
  bool Busy() const { return busy_depth_ > 0; }

  std::function<void(const DialogEvent&)> OnEvent;

 private:
  void Record(DialogEvent event);
  std::vector<std::size_t> Resolve(const PickList& list, const PickAnswer& answer) const;
  PickAnswer NextAnswer(const PickList& list);

  std::vector<DialogEvent> transcript_;
  std::deque<PickAnswer> answers_;
  int busy_depth_ = 0;
};

}  // namespace tk
