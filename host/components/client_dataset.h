#pragma once
// An in-memory dataset filled from a data packet (SetData) or created empty.
#include "host/components/datasets.h"
#include "lib/wire/variant.h"

namespace comp {

class TClientDataSet : public TDataSet {
 public:
  TClientDataSet(tk::TComponent* owner, std::string name)
      : TDataSet(owner, "TClientDataSet", std::move(name)) {}

  // Loads a data packet: every defined field takes the packet's column of the
  // same name (case-insensitive); extra columns are ignored. Throws
  // std::runtime_error when the value is no packet or a defined field has no
  // column; the dataset keeps its rows then.
  void SetData(const wire::Variant& data);
  // Opens the dataset empty, with its defined fields.
  void CreateDataSet();
  // Removes every row; the dataset stays open.
  void EmptyDataSet();
};

}  // namespace comp
