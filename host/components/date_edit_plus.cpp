#include "host/components/date_edit_plus.h"

#include <cctype>
#include <cstdio>
#include <ctime>

#include "host/components/consiste.h"
#include "lib/wire/host_date.h"

namespace comp {
namespace {
// Parses "DD/MM/AAAA" or "MM/AAAA"; false when a part is blank or out of range.
bool Parse(const std::string& text, bool with_day, int& year, int& month, int& day) {
  const std::size_t expected = with_day ? 10 : 7;
  if (text.size() != expected) return false;
  const auto number = [&](std::size_t at, std::size_t n, int& out) {
    out = 0;
    for (std::size_t i = at; i < at + n; ++i) {
      if (!std::isdigit(static_cast<unsigned char>(text[i]))) return false;
      out = out * 10 + (text[i] - '0');
    }
    return true;
  };
  day = 1;
  if (with_day) {
    return number(0, 2, day) && number(3, 2, month) && number(6, 4, year) &&
           wire::IsValidCalendarDate(year, month, day);
  }
  return number(0, 2, month) && number(3, 4, year) && wire::IsValidCalendarDate(year, month, 1);
}
}  // namespace

TDateEditPlus::TDateEditPlus(tk::TComponent* owner, std::string name)
    : tk::TMaskEdit(owner, std::move(name), "TDateEditPlus") {
  SetShowDia(true);
}

void TDateEditPlus::SetShowDia(bool value) {
  show_dia_ = value;
  SetEditMask(value ? "99/99/9999;1; " : "99/9999;1; ");
  // A month field opens on today, as the user's calendar shows it; a form
  // that wants it empty clears it.
  const std::time_t now = std::time(nullptr);
  std::tm today{};
  localtime_r(&now, &today);
  char text[40];
  if (value) {
    std::snprintf(text, sizeof text, "%02d/%02d/%04d", today.tm_mday, today.tm_mon + 1, today.tm_year + 1900);
  } else {
    std::snprintf(text, sizeof text, "%02d/%04d", today.tm_mon + 1, today.tm_year + 1900);
  }
  SetText(text);
}

std::string TDateEditPlus::Text() const {
  const std::string text = tk::TMaskEdit::Text();
  for (char c : text) {
    if (std::isdigit(static_cast<unsigned char>(c))) return text;
  }
  return {};
}

bool TDateEditPlus::IsValidDate() const {
  const std::string text = Text();
  int year = 0, month = 0, day = 0;
  return text.empty() || Parse(text, show_dia_, year, month, day);
}

double TDateEditPlus::GetDate() const {
  int year = 0, month = 0, day = 0;
  if (!Parse(Text(), show_dia_, year, month, day)) return 0;
  return wire::EncodeDate(year, month, day);
}

void TDateEditPlus::CheckValidDate() const {
  if (!IsValidDate()) MensErro("Data inválida.", true);
}

}  // namespace comp
