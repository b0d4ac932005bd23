#include "host/toolkit/form_dump.h"

#include <sstream>

#include "host/toolkit/buttons.h"
#include "host/toolkit/edits.h"

namespace tk {
namespace {
const char* ColorName(TColor color) {
  switch (color) {
    case TColor::clWindow: return "clWindow";
    case TColor::clBtnFace: return "clBtnFace";
    case TColor::clInfoBk: return "clInfoBk";
    case TColor::clBlue: return "clBlue";
    case TColor::clWindowText: return "clWindowText";
  }
  return "?";
}
}  // namespace

std::string DescribeControl(const TControl& c) {
  std::ostringstream out;
  out << c.Name() << " (" << c.ClassName() << ")";
  if (!c.Caption().empty()) out << " caption=\"" << c.Caption() << "\"";
  if (const auto* edit = dynamic_cast<const TCustomEdit*>(&c)) {
    out << " text=\"" << edit->Text() << "\"";
    if (edit->DisplayText() != edit->Text()) out << " shown=\"" << edit->DisplayText() << "\"";
  }
  if (const auto* check = dynamic_cast<const TCheckBox*>(&c)) out << (check->Checked() ? " [x]" : " [ ]");
  if (const auto* radio = dynamic_cast<const TRadioButton*>(&c)) out << (radio->Checked() ? " (o)" : " ( )");
  if (const auto* list = dynamic_cast<const TCheckListBox*>(&c)) {
    out << " checked=";
    for (std::size_t i = 0; i < list->Count(); ++i) out << (list->Checked(i) ? 'x' : '.');
  }
  out << (c.Enabled() ? "" : " disabled") << (c.Visible() ? "" : " hidden");
  if (c.AcceptsFocus()) out << " color=" << ColorName(c.Color()) << " tab=" << c.TabOrder();
  if (c.Focused()) out << " *focus*";
  return out.str();
}

std::string DescribeForm(const TForm& form) {
  std::ostringstream out;
  out << form.Name() << " \"" << form.Caption() << "\"\n";
  for (const auto& component : form.Components()) {
    if (const auto* control = dynamic_cast<const TControl*>(component.get())) {
      out << "  " << DescribeControl(*control) << "\n";
    }
  }
  return out.str();
}

}  // namespace tk
