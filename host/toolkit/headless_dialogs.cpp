#include "host/toolkit/headless_dialogs.h"

#include <algorithm>

namespace tk {

const char* MessageKindName(MessageKind kind) {
  switch (kind) {
    case MessageKind::Error: return "error";
    case MessageKind::Information: return "information";
    case MessageKind::Plain: return "message";
  }
  return "message";
}

const char* DialogEventKindName(DialogEvent::Kind kind) {
  switch (kind) {
    case DialogEvent::Kind::Error: return "error";
    case DialogEvent::Kind::Information: return "information";
    case DialogEvent::Kind::Plain: return "message";
    case DialogEvent::Kind::PickOne: return "pick";
    case DialogEvent::Kind::PickMany: return "pick-many";
    case DialogEvent::Kind::BusyShow: return "busy";
    case DialogEvent::Kind::BusyHide: return "busy-end";
  }
  return "message";
}

void HeadlessDialogs::Record(DialogEvent event) {
  transcript_.push_back(event);
  if (OnEvent) OnEvent(transcript_.back());
}

void HeadlessDialogs::ShowMessage(MessageKind kind, const std::string& text) {
  const auto event_kind = kind == MessageKind::Error         ? DialogEvent::Kind::Error
                          : kind == MessageKind::Information ? DialogEvent::Kind::Information
                                                             : DialogEvent::Kind::Plain;
  Record({event_kind, text, {}});
}

PickAnswer HeadlessDialogs::NextAnswer(const PickList& list) {
  if (answers_.empty()) throw UnscriptedDialog("nenhuma resposta foi dada à lista '" + list.title + "'");
  PickAnswer answer = std::move(answers_.front());
  answers_.pop_front();
  return answer;
}

std::vector<std::size_t> HeadlessDialogs::Resolve(const PickList& list, const PickAnswer& answer) const {
  std::vector<std::size_t> chosen;
  if (answer.how == PickAnswer::How::Rows) {
    for (std::size_t row : answer.rows) {
      if (row >= list.rows.size()) {
        throw UnscriptedDialog("a lista '" + list.title + "' não tem a linha " + std::to_string(row + 1));
      }
      chosen.push_back(row);
    }
  } else {
    for (const std::string& value : answer.values) {
      const auto it = std::find_if(list.rows.begin(), list.rows.end(),
                                   [&](const auto& row) { return !row.empty() && row[0] == value; });
      if (it == list.rows.end())
        throw UnscriptedDialog("a lista '" + list.title + "' não oferece '" + value + "'");
      chosen.push_back(static_cast<std::size_t>(it - list.rows.begin()));
    }
  }
  std::sort(chosen.begin(), chosen.end());
  chosen.erase(std::unique(chosen.begin(), chosen.end()), chosen.end());
  return chosen;
}

std::optional<std::size_t> HeadlessDialogs::PickOne(const PickList& list) {
  Record({DialogEvent::Kind::PickOne, list.title, list.rows});
  const PickAnswer answer = NextAnswer(list);
  if (answer.how == PickAnswer::How::Cancel) return std::nullopt;
  const auto chosen = Resolve(list, answer);
  if (chosen.size() != 1) throw UnscriptedDialog("a lista '" + list.title + "' aceita exatamente uma linha");
  return chosen.front();
}

std::optional<std::vector<std::size_t>> HeadlessDialogs::PickMany(const PickList& list) {
  Record({DialogEvent::Kind::PickMany, list.title, list.rows});
  const PickAnswer answer = NextAnswer(list);
  if (answer.how == PickAnswer::How::Cancel) return std::nullopt;
  return Resolve(list, answer);
}

void HeadlessDialogs::BusyShow(const std::string&, int, const std::string& text) {
  ++busy_depth_;
  Record({DialogEvent::Kind::BusyShow, text, {}});
}

void HeadlessDialogs::BusyHide() {
  if (busy_depth_ == 0) return;
  --busy_depth_;
  Record({DialogEvent::Kind::BusyHide, {}, {}});
}

}  // namespace tk
