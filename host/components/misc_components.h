#pragma once
// Non-visual components that a form holds but that do nothing by themselves.
#include <string>

#include "host/toolkit/component.h"

namespace comp {

class TSaveDialog : public tk::TComponent {
 public:
  TSaveDialog(tk::TComponent* owner, std::string name)
      : tk::TComponent(owner, "TSaveDialog", std::move(name)) {}
  std::string DefaultExt;
  std::string Filter;
  std::string InitialDir;
};

}  // namespace comp
