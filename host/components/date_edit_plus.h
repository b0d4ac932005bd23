#pragma once
// The month field: a masked edit for "MM/AAAA" (or "DD/MM/AAAA" with ShowDia).
// It opens on today (the current month without ShowDia); a text without
// digits reads as empty. GetDate gives the first day of the month (the day
// itself with ShowDia).
#include <string>
#include <vector>

#include "host/toolkit/edits.h"

namespace comp {

class TDateEditPlus : public tk::TMaskEdit {
 public:
  enum class TEditStyle { desNormal, desUpDown, desButton };

  TDateEditPlus(tk::TComponent* owner, std::string name);

  std::string Text() const override;

  bool ShowDia() const { return show_dia_; }
  // Changes the mask; the field shows today in it.
  void SetShowDia(bool value);
  bool SaveTime = false;
  TEditStyle EditStyle = TEditStyle::desNormal;
  bool FocusButton = true;
  tk::TColor ValidDateColor = tk::TColor::clWindowText;
  std::vector<std::string> NomeSemana;
  int ButtonBitmapSize = 16;

  // Whether the text is a date that exists (the empty text counts as valid:
  // emptiness is the caller's business).
  bool IsValidDate() const;
  // The date of the text, or 0 when it is empty or no valid date.
  double GetDate() const;
  // Reports "Data inválida." as an error and aborts when the text is no valid date.
  void CheckValidDate() const;

 private:
  bool show_dia_ = true;
};

}  // namespace comp
