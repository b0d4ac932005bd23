#pragma once
// Every dialog the module shows goes through this one interface, so a desktop
// front-end shows real windows and a headless one keeps a transcript.
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace tk {

enum class MessageKind {
  Error,        // an error message (validation failures, errors from handlers)
  Information,  // MessageDlg of the information type with one OK button
  Plain         // ShowMessage
};

struct PickColumn {
  std::string label;
  int display_width = 0;  // characters; 0: the field's size
};

// A list of rows for the user to choose from.
struct PickList {
  std::string title;
  std::vector<PickColumn> columns;
  std::vector<std::vector<std::string>> rows;
  std::vector<std::size_t> preselected;  // rows marked when the list opens
};

class IDialogs {
 public:
  virtual ~IDialogs() = default;
  virtual void ShowMessage(MessageKind kind, const std::string& text) = 0;
  // The chosen row, or nullopt when the user cancels.
  virtual std::optional<std::size_t> PickOne(const PickList& list) = 0;
  // The chosen rows in list order, or nullopt when the user cancels.
  virtual std::optional<std::vector<std::size_t>> PickMany(const PickList& list) = 0;
  // The busy animation over a form while a long call runs.
  virtual void BusyShow(const std::string& form_caption, int kind, const std::string& text) = 0;
  virtual void BusyHide() = 0;
  // Runs a long, blocking piece of work (a server call). A desktop front-end
  // runs it off the user-interface thread and keeps the window painted while
  // input is blocked; the caller still sees a synchronous call.
  virtual void RunBlocking(const std::function<void()>& work) { work(); }
};

const char* MessageKindName(MessageKind kind);

}  // namespace tk
