#pragma once
// A message catalogue: entries "key|text"; Msg gives the text of a key exactly
// as stored, blanks at the end included.
#include <string>
#include <vector>

#include "host/toolkit/component.h"

namespace comp {

class TMessages : public tk::TComponent {
 public:
  TMessages(tk::TComponent* owner, std::string name) : tk::TComponent(owner, "TMessages", std::move(name)) {}

  // Throws std::invalid_argument for an entry without "|" or a repeated key.
  void SetEntries(std::vector<std::string> entries);
  const std::vector<std::string>& Entries() const { return entries_; }
  // Throws std::out_of_range naming the key when the catalogue lacks it: a
  // missing message is a fault of the program, never an empty dialog.
  const std::string& Msg(const std::string& key) const;

 private:
  std::vector<std::string> entries_;
  std::vector<std::pair<std::string, std::string>> parsed_;
};

}  // namespace comp
