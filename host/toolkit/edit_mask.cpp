#include "host/toolkit/edit_mask.h"

#include <cwctype>
#include <stdexcept>

#include "lib/text/utf8.h"

namespace tk {

EditMask::EditMask(const std::string& mask) : source_(mask) {
  // The last two ";"-separated fields are the options; the pattern may hold ";"
  // only when escaped, which this toolkit does not need.
  std::vector<std::string> fields;
  std::string current;
  for (char c : mask) {
    if (c == ';') {
      fields.push_back(current);
      current.clear();
    } else {
      current += c;
    }
  }
  fields.push_back(current);
  if (fields.size() > 3) throw std::invalid_argument("edit mask '" + mask + "' has more than three fields");
  if (fields.size() >= 2) {
    if (fields[1] != "0" && fields[1] != "1") {
      throw std::invalid_argument("edit mask '" + mask + "': the second field must be 0 or 1");
    }
    save_literals_ = fields[1] == "1";
  }
  if (fields.size() == 3) {
    if (::text::utf8::Length(fields[2]) != 1) {
      throw std::invalid_argument("edit mask '" + mask + "': the blank must be one character");
    }
    blank_ = fields[2];
  }
  int letter_case = 0;
  const auto chars = ::text::utf8::Split(fields[0]);
  for (std::size_t i = 0; i < chars.size(); ++i) {
    const std::string& c = chars[i];
    Position p;
    if (c == ">") {
      letter_case = 1;
      continue;
    }
    if (c == "<") {
      letter_case = -1;
      continue;
    }
    if (c == "!") continue;  // alignment only
    if (c == "\\") {
      if (++i == chars.size()) throw std::invalid_argument("edit mask '" + mask + "' ends with an escape");
      p.literal = true;
      p.literal_text = chars[i];
    } else if (c.size() == 1 && std::string("09LlAaCc#").find(c[0]) != std::string::npos) {
      p.kind = c[0];
      p.letter_case = letter_case;
    } else {
      p.literal = true;
      p.literal_text = c;
    }
    positions_.push_back(p);
  }
  if (positions_.empty()) throw std::invalid_argument("edit mask '" + mask + "' has no pattern");
}

std::size_t EditMask::SlotCount() const {
  std::size_t n = 0;
  for (const auto& p : positions_) n += p.literal ? 0 : 1;
  return n;
}

bool EditMask::Accepts(std::size_t pos, char32_t c) const {
  if (pos >= positions_.size() || positions_[pos].literal || c < 0x20) return false;
  const bool digit = c >= U'0' && c <= U'9';
  const bool letter = !digit && std::iswalpha(static_cast<wint_t>(c));
  switch (positions_[pos].kind) {
    case '0':
    case '9': return digit;
    case '#': return digit || c == U'+' || c == U'-';
    case 'L':
    case 'l': return letter;
    case 'A':
    case 'a': return letter || digit;
    default: return true;
  }
}

std::string EditMask::Stored(std::size_t pos, char32_t c) const {
  const int letter_case = positions_[pos].letter_case;
  if (letter_case > 0) c = static_cast<char32_t>(std::towupper(static_cast<wint_t>(c)));
  if (letter_case < 0) c = static_cast<char32_t>(std::towlower(static_cast<wint_t>(c)));
  return ::text::utf8::Encode(c);
}

std::vector<std::string> EditMask::EmptyCells() const {
  std::vector<std::string> cells;
  for (const auto& p : positions_) cells.push_back(p.literal ? p.literal_text : blank_);
  return cells;
}

std::vector<std::string> EditMask::CellsFromText(const std::string& text) const {
  std::vector<std::string> cells = EmptyCells();
  const auto chars = ::text::utf8::Split(text);
  std::size_t next = 0;
  for (std::size_t pos = 0; pos < positions_.size(); ++pos) {
    if (save_literals_) {
      if (pos >= chars.size()) break;
      if (!positions_[pos].literal && Accepts(pos, ::text::utf8::Decode(chars[pos]))) {
        cells[pos] = Stored(pos, ::text::utf8::Decode(chars[pos]));
      }
      continue;
    }
    if (positions_[pos].literal) continue;
    if (next >= chars.size()) break;
    const char32_t c = ::text::utf8::Decode(chars[next++]);
    if (Accepts(pos, c)) cells[pos] = Stored(pos, c);
  }
  return cells;
}

std::string EditMask::TextFromCells(const std::vector<std::string>& cells) const {
  std::string text;
  for (std::size_t pos = 0; pos < positions_.size() && pos < cells.size(); ++pos) {
    if (save_literals_) {
      text += cells[pos];
    } else if (!positions_[pos].literal && cells[pos] != blank_) {
      text += cells[pos];
    }
  }
  return text;
}

}  // namespace tk
