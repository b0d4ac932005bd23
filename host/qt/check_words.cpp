#include "host/qt/check_words.h"

#include "lib/text/utf8.h"

namespace qtfront {
namespace {

QString Counted(long long n, const char* one, const char* many) {
  return Thousands(n) + " " + QString::fromUtf8(n == 1 ? one : many);
}

}  // namespace

QString Thousands(long long n) {
  const QString digits = QString::number(n);
  const qsizetype sign = n < 0 ? 1 : 0;
  QString out = digits.left(sign);
  for (qsizetype i = sign; i < digits.size(); ++i) {
    if (i > sign && (digits.size() - i) % 3 == 0) out += '.';
    out += digits[i];
  }
  return out;
}

QString CheckSummary(const layout::Report& report) {
  const QString lines = Counted(report.lines, "linha", "linhas");
  if (report.ok()) return "sem erros nem avisos em " + lines;
  return Counted(report.Errors(), "erro", "erros") + ", " + Counted(report.Warnings(), "aviso", "avisos") +
         " em " + lines;
}

QString SeverityWord(layout::Severity severity) {
  return severity == layout::Severity::Error ? "erro" : "aviso";
}

QString FileText(const std::string& text) {
  // The positions of a line are bytes: a file that is not UTF-8 throughout
  // is read one character per byte.
  if (text::utf8::IsValid(text)) return QString::fromStdString(text);
  return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace qtfront
