#include "lib/layout/register_fields.h"

#include <stdexcept>

namespace layout {

const std::map<std::string, std::vector<RegisterField>>& RegisterLayouts() {
  static const std::map<std::string, std::vector<RegisterField>> layouts = {
      {"10",
       {{3, 14, Format::N, "CNPJ"},
        {17, 14, Format::X, "IE"},
        {31, 35, Format::X, "name"},
        {66, 30, Format::X, "city"},
        {96, 2, Format::X, "UF"},
        {98, 10, Format::N, "fax"},
        {108, 8, Format::Date, "first day"},
        {116, 8, Format::Date, "last day"},
        {124, 1, Format::X, "version"},
        {125, 1, Format::X, "nature"},
        {126, 1, Format::X, "purpose"}}},
      {"11",
       {{3, 34, Format::X, "street"},
        {37, 5, Format::N, "number"},
        {42, 22, Format::X, "complement"},
        {64, 15, Format::X, "district"},
        {79, 8, Format::N, "CEP"},
        {87, 28, Format::X, "contact"},
        {115, 12, Format::N, "phone"}}},
      {"50",
       {{3, 14, Format::N, "CNPJ"},
        {17, 14, Format::X, "IE"},
        {31, 8, Format::Date, "date"},
        {39, 2, Format::X, "UF"},
        {41, 2, Format::N, "model"},
        {43, 3, Format::X, "series"},
        {46, 6, Format::N, "number"},
        {52, 4, Format::N, "CFOP"},
        {56, 1, Format::X, "issuer"},
        {57, 13, Format::N, "total"},
        {70, 13, Format::N, "ICMS base"},
        {83, 13, Format::N, "ICMS"},
        {96, 13, Format::N, "exempt"},
        {109, 13, Format::N, "other"},
        {122, 4, Format::N, "rate"},
        {126, 1, Format::X, "situation"}}},
      {"51",
       {{3, 14, Format::N, "CNPJ"},
        {17, 14, Format::X, "IE"},
        {31, 8, Format::Date, "date"},
        {39, 2, Format::X, "UF"},
        {41, 3, Format::X, "series"},
        {44, 6, Format::N, "number"},
        {50, 4, Format::N, "CFOP"},
        {54, 13, Format::N, "total"},
        {67, 13, Format::N, "IPI"},
        {80, 13, Format::N, "IPI exempt"},
        {93, 13, Format::N, "IPI other"},
        {106, 20, Format::X, "blanks"},
        {126, 1, Format::X, "situation"}}},
      {"53",
       {{3, 14, Format::N, "CNPJ"},
        {17, 14, Format::X, "IE"},
        {31, 8, Format::Date, "date"},
        {39, 2, Format::X, "UF"},
        {41, 2, Format::N, "model"},
        {43, 3, Format::X, "series"},
        {46, 6, Format::N, "number"},
        {52, 4, Format::N, "CFOP"},
        {56, 1, Format::X, "issuer"},
        {57, 13, Format::N, "ST base"},
        {70, 13, Format::N, "ICMS retained"},
        {83, 13, Format::N, "expenses"},
        {96, 1, Format::X, "situation"},
        {97, 1, Format::X, "anticipation"},
        {98, 29, Format::X, "blanks"}}},
      {"54",
       {{3, 14, Format::N, "CNPJ"},
        {17, 2, Format::N, "model"},
        {19, 3, Format::X, "series"},
        {22, 6, Format::N, "number"},
        {28, 4, Format::N, "CFOP"},
        {32, 3, Format::X, "CST"},
        {35, 3, Format::N, "item"},
        {38, 14, Format::X, "product"},
        {52, 11, Format::N, "quantity"},
        {63, 12, Format::N, "amount"},
        {75, 12, Format::N, "discount"},
        {87, 12, Format::N, "ICMS base"},
        {99, 12, Format::N, "ST base"},
        {111, 12, Format::N, "IPI"},
        {123, 4, Format::N, "rate"}}},
      {"75",
       {{3, 8, Format::Date, "first day"},
        {11, 8, Format::Date, "last day"},
        {19, 14, Format::X, "product"},
        {33, 8, Format::X, "NCM"},
        {41, 53, Format::X, "description"},
        {94, 6, Format::X, "unit"},
        {100, 5, Format::N, "IPI rate"},
        {105, 4, Format::N, "ICMS rate"},
        {109, 5, Format::N, "base reduction"},
        {114, 13, Format::N, "ST base"}}},
      {"55",
       {{3, 14, Format::N, "CNPJ"},
        {17, 14, Format::X, "IE"},
        {31, 8, Format::Date, "date"},
        {39, 2, Format::X, "UF"},
        {41, 2, Format::X, "favoured UF"},
        {43, 3, Format::N, "bank"},
        {46, 4, Format::N, "agency"},
        {50, 20, Format::X, "GNRE number"},
        {70, 13, Format::N, "amount"},
        {83, 8, Format::Date, "due date"},
        {91, 6, Format::N, "reference month"},
        {97, 30, Format::X, "agreement"}}},
      {"60M",
       {{4, 8, Format::Date, "date"},
        {12, 20, Format::X, "ECF serial"},
        {32, 3, Format::N, "ECF order"},
        {35, 2, Format::X, "model"},
        {37, 6, Format::N, "first COO"},
        {43, 6, Format::N, "last COO"},
        {49, 6, Format::N, "CRZ"},
        {55, 3, Format::N, "CRO"},
        {58, 16, Format::N, "gross sales"},
        {74, 16, Format::N, "grand total"},
        {90, 37, Format::X, "blanks"}}},
      {"60A",
       {{4, 8, Format::Date, "date"},
        {12, 20, Format::X, "ECF serial"},
        {32, 4, Format::X, "totaliser"},
        {36, 12, Format::N, "amount"},
        {48, 79, Format::X, "blanks"}}},
      {"60D",
       {{4, 8, Format::Date, "date"},
        {12, 20, Format::X, "ECF serial"},
        {32, 14, Format::X, "product"},
        {46, 13, Format::N, "quantity"},
        {59, 16, Format::N, "amount"},
        {75, 16, Format::N, "ICMS base"},
        {91, 4, Format::X, "totaliser"},
        {95, 13, Format::N, "ICMS"},
        {108, 19, Format::X, "blanks"}}},
      {"60I",
       {{4, 8, Format::Date, "date"},
        {12, 20, Format::X, "ECF serial"},
        {32, 2, Format::X, "model"},
        {34, 6, Format::N, "COO"},
        {40, 3, Format::N, "item"},
        {43, 14, Format::X, "product"},
        {57, 13, Format::N, "quantity"},
        {70, 13, Format::N, "amount"},
        {83, 12, Format::N, "ICMS base"},
        {95, 4, Format::X, "totaliser"},
        {99, 12, Format::N, "ICMS"},
        {111, 16, Format::X, "blanks"}}},
      {"60R",
       {{4, 6, Format::N, "month"},
        {10, 14, Format::X, "product"},
        {24, 13, Format::N, "quantity"},
        {37, 16, Format::N, "amount"},
        {53, 16, Format::N, "ICMS base"},
        {69, 4, Format::X, "totaliser"},
        {73, 54, Format::X, "blanks"}}},
      {"61",
       {{3, 28, Format::X, "blanks"},
        {31, 8, Format::Date, "date"},
        {39, 2, Format::N, "model"},
        {41, 3, Format::X, "series"},
        {44, 2, Format::X, "subseries"},
        {46, 6, Format::N, "first number"},
        {52, 6, Format::N, "last number"},
        {58, 13, Format::N, "total"},
        {71, 13, Format::N, "ICMS base"},
        {84, 12, Format::N, "ICMS"},
        {96, 13, Format::N, "exempt"},
        {109, 13, Format::N, "other"},
        {122, 4, Format::N, "rate"},
        {126, 1, Format::X, "blank"}}},
      {"61R",
       {{4, 6, Format::N, "month"},
        {10, 14, Format::X, "product"},
        {24, 13, Format::N, "quantity"},
        {37, 16, Format::N, "amount"},
        {53, 16, Format::N, "ICMS base"},
        {69, 4, Format::N, "rate"},
        {73, 54, Format::X, "blanks"}}},
      {"70",
       {{3, 14, Format::N, "CNPJ"},
        {17, 14, Format::X, "IE"},
        {31, 8, Format::Date, "date"},
        {39, 2, Format::X, "UF"},
        {41, 2, Format::N, "model"},
        {43, 1, Format::X, "series"},
        {44, 2, Format::X, "subseries"},
        {46, 6, Format::N, "number"},
        {52, 4, Format::N, "CFOP"},
        {56, 13, Format::N, "total"},
        {69, 14, Format::N, "ICMS base"},
        {83, 14, Format::N, "ICMS"},
        {97, 14, Format::N, "exempt"},
        {111, 14, Format::N, "other"},
        {125, 1, Format::N, "freight"},
        {126, 1, Format::X, "situation"}}},
      {"74",
       {{3, 8, Format::Date, "date"},
        {11, 14, Format::X, "product"},
        {25, 13, Format::N, "quantity"},
        {38, 13, Format::N, "amount"},
        {51, 1, Format::X, "possession"},
        {52, 14, Format::N, "CNPJ"},
        {66, 14, Format::X, "IE"},
        {80, 2, Format::X, "UF"},
        {82, 45, Format::X, "blanks"}}},
      {"88SME", {{6, 14, Format::N, "CNPJ"}, {20, 34, Format::X, "message"}, {54, 73, Format::X, "blanks"}}},
      {"88SMS", {{6, 14, Format::N, "CNPJ"}, {20, 34, Format::X, "message"}, {54, 73, Format::X, "blanks"}}},
      {"88STE",
       {{7, 14, Format::N, "CNPJ"},
        {21, 8, Format::Date, "date"},
        {29, 60, Format::X, "product"},
        {89, 13, Format::N, "quantity"},
        {102, 12, Format::N, "ICMS ST"},
        {114, 12, Format::N, "own ICMS"},
        {126, 1, Format::X, "blank"}}},
      {"90",
       {{3, 14, Format::N, "CNPJ"}, {17, 14, Format::X, "IE"}, {126, 1, Format::N, "number of 90 lines"}}},
  };
  return layouts;
}

std::string LayoutOf(const std::string& line) {
  const std::string type = line.substr(0, 2);
  if (type == "60" && line.size() > 2) return "60" + line.substr(2, 1);
  if (type == "61" && line.size() > 2 && line[2] == 'R') return "61R";
  if (type == "88" && line.size() > 4) return "88" + line.substr(2, 3);
  return type;
}

const std::vector<RegisterField>& RegisterLine::FieldsOf(const std::string& layout) {
  static const std::vector<RegisterField> none;
  const auto it = RegisterLayouts().find(layout);
  return it == RegisterLayouts().end() ? none : it->second;
}

const RegisterField& RegisterLine::Find(std::string_view name) const {
  for (const RegisterField& f : *fields_) {
    if (name == f.name) return f;
  }
  throw std::logic_error("register " + LayoutOf(line_) + " has no field '" + std::string(name) + "'");
}

bool RegisterLine::Has(std::string_view name) const {
  for (const RegisterField& f : *fields_) {
    if (name == f.name) return true;
  }
  return false;
}

std::string RegisterLine::Raw(std::string_view name) const {
  const RegisterField& f = Find(name);
  if (line_.size() < f.start - 1 + f.width)
    throw std::out_of_range("the line is shorter than its field '" + std::string(name) + "'");
  return line_.substr(f.start - 1, f.width);
}

std::string RegisterLine::Text(std::string_view name) const {
  std::string value = Raw(name);
  value.erase(value.find_last_not_of(' ') + 1);
  return value;
}

std::int64_t RegisterLine::Number(std::string_view name) const { return std::stoll(Raw(name)); }

std::string RegisterLine::Date(std::string_view name) const {
  const std::string value = Raw(name);
  return value.substr(0, 4) + "-" + value.substr(4, 2) + "-" + value.substr(6, 2);
}

}  // namespace layout
