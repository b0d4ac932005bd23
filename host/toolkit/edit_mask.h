#pragma once
// The three-field edit mask "pattern;save-literals;blank":
//  - pattern: '0' digit required, '9' digit optional, 'L'/'l' letter, 'A'/'a'
//    letter or digit, 'C'/'c' any character, '#' digit or sign; '>' and '<'
//    switch to upper or lower case, '\' makes the next character a literal;
//    every other character is a literal shown in its position.
//  - save-literals: "1" when the literals belong to the text, "0" when not.
//  - blank: the character shown in a position not filled (default '_').
#include <string>
#include <vector>

namespace tk {

class EditMask {
 public:
  EditMask() = default;
  // Throws std::invalid_argument for a malformed mask.
  explicit EditMask(const std::string& mask);

  bool Empty() const { return positions_.empty(); }
  const std::string& Source() const { return source_; }
  std::size_t Size() const { return positions_.size(); }
  bool IsLiteral(std::size_t pos) const { return positions_[pos].literal; }
  const std::string& Literal(std::size_t pos) const { return positions_[pos].literal_text; }
  const std::string& Blank() const { return blank_; }
  bool SaveLiterals() const { return save_literals_; }
  std::size_t SlotCount() const;

  // Whether the character may stand in the (non-literal) position, and the
  // character as stored there (after the case rule).
  bool Accepts(std::size_t pos, char32_t c) const;
  std::string Stored(std::size_t pos, char32_t c) const;

  // The cells of an empty field: literals in place, blanks elsewhere.
  std::vector<std::string> EmptyCells() const;
  // The cells that a text written by the program fills: with saved literals the
  // text maps position by position, otherwise its characters fill the slots in
  // order. Characters a slot does not accept leave it blank.
  std::vector<std::string> CellsFromText(const std::string& text) const;
  // The text that the field hands to the program: with saved literals every
  // cell (blanks included), otherwise the filled slots alone.
  std::string TextFromCells(const std::vector<std::string>& cells) const;

 private:
  struct Position {
    bool literal = false;
    std::string literal_text;
    char kind = 0;
    int letter_case = 0;  // 1 upper, -1 lower
  };
  std::string source_;
  std::vector<Position> positions_;
  bool save_literals_ = true;
  std::string blank_ = "_";
};

}  // namespace tk
