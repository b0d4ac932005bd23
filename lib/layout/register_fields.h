#pragma once
// The fields of every register the files carry, as the layout gives them:
// position, width, format and name. The one table of positions: the checker
// checks a line field by field through it, and whatever reads a register
// line reads its fields by name through it.
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace layout {

enum class Format { N, X, Date };

struct RegisterField {
  std::size_t start;  // 1-based
  std::size_t width;
  Format format;
  const char* name;
};

// The fields by layout: the register type, or for the types with several
// layouts the type and its subtype ("60M", "61R", "88STE").
const std::map<std::string, std::vector<RegisterField>>& RegisterLayouts();

// The layout of a line: "60M" for a 60 line of subtype M, "61R", "88SME",
// otherwise its two-character type.
std::string LayoutOf(const std::string& line);

// A line's fields by name. A name the layout does not have is a mistake of
// the caller's and throws std::logic_error; a line shorter than the field
// throws std::out_of_range.
class RegisterLine {
 public:
  explicit RegisterLine(const std::string& line) : line_(line), fields_(&FieldsOf(LayoutOf(line))) {}
  const std::string& line() const { return line_; }
  // Whether the line's layout has the field.
  bool Has(std::string_view name) const;
  // The field's characters as written.
  std::string Raw(std::string_view name) const;
  // An X field without the blanks that fill it on the right.
  std::string Text(std::string_view name) const;
  // An N field's value.
  std::int64_t Number(std::string_view name) const;
  // A date field (AAAAMMDD) as "AAAA-MM-DD".
  std::string Date(std::string_view name) const;

 private:
  static const std::vector<RegisterField>& FieldsOf(const std::string& layout);
  const RegisterField& Find(std::string_view name) const;
  const std::string& line_;
  const std::vector<RegisterField>* fields_;
};

}  // namespace layout
