// The window that checks a magnetic file, on Qt's offscreen platform: the
// findings it shows against the checker's own report of the same file, its
// summary, its CSV, the line shown for a finding, and a check stopped by
// closing the window.
#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <thread>

#include "host/qt/check_window.h"
#include "host/qt/check_words.h"
#include "host/qt/findings_csv.h"
#include "host/qt/line_index.h"
#include "lib/layout/layout_check.h"
#include "tests/qt/sample_magnetic_file.h"

namespace {

using qtfront::CheckWindow;
using qtfront::FindingsModel;

class CheckWindowTest : public ::testing::Test {
 protected:
  std::string Path(const char* name) const { return dir_.filePath(name).toStdString(); }

  // The sample file with faults of several kinds: a CFOP that disagrees with
  // the party's state (line 3), a letter in two amounts (line 4: two
  // findings of one rule on one line), a line ended by LF alone (line 5), a
  // date after the period (line 6).
  std::string FaultyFile() const {
    auto lines = sample::Lines(4);
    lines[2].replace(51, 4, "6102");
    lines[3][60] = 'A';
    lines[3][85] = 'B';
    lines[5].replace(30, 8, "20260201");
    const std::string path = Path("faulty.txt");
    sample::Write(path, lines, {4});
    return path;
  }

  // Checks a file in the window and waits for the end.
  static void CheckIn(CheckWindow& window, const std::string& path) {
    window.Open(QString::fromStdString(path));
    while (window.CurrentState() == CheckWindow::State::Checking) QTest::qWait(10);
  }

  // The first finding of a rule in the window's tree.
  static QModelIndex FirstFindingOf(const FindingsModel& model, const QString& rule) {
    for (int row = 0; row < model.rowCount(); ++row) {
      const QModelIndex group = model.index(row, FindingsModel::kRule);
      if (group.data().toString() == rule) return model.index(0, 0, group.siblingAtColumn(0));
    }
    return {};
  }

  QTemporaryDir dir_;
};

TEST_F(CheckWindowTest, GroupsAndCountsAreTheCheckersReport) {
  const std::string path = FaultyFile();
  CheckWindow window;
  CheckIn(window, path);
  ASSERT_EQ(window.CurrentState(), CheckWindow::State::Checked);

  // The checker's own text report: "error cfop-direction: 1 finding on 1 line: 3 (…)".
  const layout::Report report = layout::CheckFile(path);
  std::istringstream text(layout::Describe(report, true));
  const QRegularExpression header(R"(^(error|warning) (\S+): (\d+) findings? on (\d+) lines?:)");
  std::vector<QStringList> expected;
  for (std::string line; std::getline(text, line);) {
    const auto match = header.match(QString::fromStdString(line));
    if (match.hasMatch()) {
      expected.push_back({match.captured(1) == "error" ? "erro" : "aviso", match.captured(2),
                          match.captured(3), match.captured(4)});
    }
  }
  ASSERT_EQ(expected.size(), 4u) << layout::Describe(report);

  const FindingsModel& model = *window.Model();
  std::vector<QStringList> shown;
  for (int row = 0; row < model.rowCount(); ++row) {
    QStringList columns;
    for (int c :
         {FindingsModel::kWhat, FindingsModel::kRule, FindingsModel::kFindings, FindingsModel::kLines})
      columns << model.index(row, c).data().toString();
    shown.push_back(columns);
    EXPECT_EQ(model.rowCount(model.index(row, 0)), columns[2].toInt()) << columns.join(' ').toStdString();
  }
  EXPECT_EQ(shown, expected);

  // A finding's row: its line, register, field, document and message.
  const QModelIndex numeric = FirstFindingOf(model, "numeric-field");
  const auto column = [&](int c) { return numeric.siblingAtColumn(c).data().toString().toStdString(); };
  EXPECT_EQ(column(FindingsModel::kWhat), "linha 4");
  EXPECT_EQ(column(FindingsModel::kRegister), "50");
  EXPECT_EQ(column(FindingsModel::kField), "total");
  EXPECT_EQ(column(FindingsModel::kDocument), "CNPJ 55666777000181 modelo 55 série 1 número 000013");
  EXPECT_NE(column(FindingsModel::kText).find("is not numeric"), std::string::npos);
  EXPECT_EQ(window.Summary()->text(), "4 erros, 1 aviso em 7 linhas");
}

TEST(CheckSummary, CountsInPortugueseWithThousandsSeparated) {
  const auto report = [](long lines, int errors, int warnings) {
    layout::Report r;
    r.lines = lines;
    for (int i = 0; i < errors + warnings; ++i) {
      r.problems.push_back({});
      r.problems.back().severity = i < errors ? layout::Severity::Error : layout::Severity::Warning;
    }
    return r;
  };
  const struct {
    layout::Report report;
    const char* says;
  } cases[] = {
      {report(1142384, 3, 1), "3 erros, 1 aviso em 1.142.384 linhas"},
      {report(1, 1, 0), "1 erro, 0 avisos em 1 linha"},
      {report(1000, 0, 2), "0 erros, 2 avisos em 1.000 linhas"},
      {report(999, 0, 1), "0 erros, 1 aviso em 999 linhas"},
      {report(80, 0, 0), "sem erros nem avisos em 80 linhas"},
      {report(0, 1, 0), "1 erro, 0 avisos em 0 linhas"},
  };
  for (const auto& c : cases) EXPECT_EQ(qtfront::CheckSummary(c.report).toStdString(), c.says);
  EXPECT_EQ(qtfront::Thousands(100000).toStdString(), "100.000");
  EXPECT_EQ(qtfront::Thousands(12).toStdString(), "12");
}

TEST_F(CheckWindowTest, TheCsvHasOneRowPerFindingInTheTablesOrder) {
  CheckWindow window;
  CheckIn(window, FaultyFile());
  const QString csv_path = QString::fromStdString(Path("achados.csv"));
  ASSERT_TRUE(window.ExportCsv(csv_path));
  QFile file(csv_path);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  const std::string csv = file.readAll().toStdString();
  EXPECT_EQ(csv,
            "\xEF\xBB\xBF"
            "gravidade;regra;linha;ocorrências;linhas;registro;campo;documento;mensagem\r\n"
            "erro;numeric-field;4;1;4;50;total;CNPJ 55666777000181 modelo 55 série 1 número 000013;"
            "register 50 field 'total' (57-69) is not numeric: '0000A00001000'\r\n"
            "erro;numeric-field;4;1;4;50;ICMS;CNPJ 55666777000181 modelo 55 série 1 número 000013;"
            "register 50 field 'ICMS' (83-95) is not numeric: '000B000000180'\r\n"
            "erro;cfop-direction;3;1;3;50;CFOP;CNPJ 55666777000181 modelo 55 série 1 número 000012;"
            "CFOP 6102 does not agree with a party in SP (informant in SP): it starts with 5\r\n"
            "erro;date-in-period;6;1;6;50;date;CNPJ 55666777000181 modelo 55 série 1 número 000015;"
            "register 50 date 20260201 is outside the period 20260101-20260131\r\n"
            "aviso;line-ending;5;1;5;;;;the line ends with LF alone, not CR LF\r\n");
}

TEST(FindingsCsv, QuotesWhatASpreadsheetWouldSplitAndWritesUtf8) {
  layout::Report report;
  report.lines = 9;
  layout::Problem p;
  p.rule = "text-field";
  p.line = 2;
  p.lines = {2, 7, 9};
  p.count = 3;
  p.register_type = "11";
  p.field = "street";
  p.document = " leading blank";
  p.message = "holds \"quoted\"; words\nand a break, and \xE7";  // ç in ISO-8859-1
  report.problems = {p};
  const std::string csv = qtfront::FindingsCsv(report, qtfront::GroupFindings(report));
  const std::string row = csv.substr(csv.find("\r\n") + 2);
  EXPECT_EQ(row,
            "erro;text-field;2;3;2 7 9;11;street;\" leading blank\";"
            "\"holds \"\"quoted\"\"; words\nand a break, and ç\"\r\n");
}

TEST_F(CheckWindowTest, TheLineOfAFindingShowsItsFieldsPositionsMarked) {
  const std::string path = FaultyFile();
  CheckWindow window;
  CheckIn(window, path);
  const auto lines = [&] {
    std::vector<std::string> all;
    std::ifstream in(path, std::ios::binary);
    for (std::string l; std::getline(in, l);) all.push_back(l.substr(0, 126));
    return all;
  }();
  const struct {
    const char* rule;
    long line;
    std::size_t first, last;  // 0: nothing marked
    const char* field;        // the layout row picked out
  } cases[] = {
      {"cfop-direction", 3, 52, 55, "CFOP"},
      {"numeric-field", 4, 57, 69, "total"},
      {"date-in-period", 6, 31, 38, "date"},
      {"line-ending", 5, 0, 0, nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.rule);
    std::unique_ptr<qtfront::LineDetailDialog> dialog(
        window.ShowFinding(FirstFindingOf(*window.Model(), c.rule)));
    ASSERT_TRUE(dialog);
    const QTextDocument& text = *dialog->LineView()->document();
    const QTextBlock line = text.findBlockByNumber(2);
    EXPECT_EQ(line.text().toStdString(), lines[static_cast<std::size_t>(c.line - 1)]);
    EXPECT_EQ(text.findBlockByNumber(1).text().left(12).toStdString(), "123456789012");
    std::string marked;
    for (int p = 1; p <= line.length() - 1; ++p) {
      QTextCursor cursor(line);
      cursor.setPosition(line.position() + p);  // the format of the character before it: position p
      marked += cursor.charFormat().background().style() == Qt::NoBrush ? ' ' : '^';
    }
    marked.erase(marked.find_last_not_of(' ') + 1);
    const std::string expected =
        c.first ? std::string(c.first - 1, ' ') + std::string(c.last - c.first + 1, '^') : std::string();
    EXPECT_EQ(marked, expected);
    EXPECT_EQ(text.findBlockByNumber(3).text().toStdString(), expected);
    EXPECT_EQ(dialog->Fields()->rowCount(), 16);  // the layout of register 50
    if (c.field) {
      ASSERT_EQ(dialog->Fields()->selectedItems().size(), 5);
      EXPECT_EQ(dialog->Fields()->selectedItems()[0]->text().toStdString(), c.field);
      EXPECT_TRUE(dialog->FieldLabel()->text().contains(QString("posições %1–%2").arg(c.first).arg(c.last)))
          << dialog->FieldLabel()->text().toStdString();
    } else {
      EXPECT_TRUE(dialog->Fields()->selectedItems().isEmpty());
    }
  }
}

TEST_F(CheckWindowTest, ARuleWithManyFindingsShowsThemABatchAtATime) {
  auto lines = sample::Lines(2500);
  for (std::size_t i = 2; i + 1 < lines.size(); ++i) lines[i].replace(51, 4, "6102");
  sample::Write(Path("many.txt"), lines);
  CheckWindow window;
  CheckIn(window, Path("many.txt"));
  FindingsModel& model = *window.Model();
  // Qt's own checks of a model: rows said to be inserted are the rows that appear.
  static QStringList complaints;
  complaints.clear();
  const auto previous = qInstallMessageHandler(
      [](QtMsgType, const QMessageLogContext&, const QString& message) { complaints << message; });
  const QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Warning);
  ASSERT_EQ(model.rowCount(), 1);
  const QModelIndex group = model.index(0, 0);
  EXPECT_EQ(model.index(0, FindingsModel::kFindings).data().toString(), "2.500");
  const int batch = FindingsModel::kBatch;
  for (int shown : {batch, 2 * batch}) {
    ASSERT_EQ(model.rowCount(group), shown + 1);
    const QModelIndex more = model.index(shown, 0, group);
    EXPECT_TRUE(model.IsMoreRow(more));
    EXPECT_EQ(model.ProblemAt(more), nullptr);
    model.ShowMore(more);
    // The row that was "more" is now the next finding: line 3 is the first.
    EXPECT_EQ(model.ProblemAt(model.index(shown, 0, group))->line, 3 + shown);
  }
  EXPECT_EQ(model.rowCount(group), 2500);
  EXPECT_FALSE(model.IsMoreRow(model.index(2499, 0, group)));
  EXPECT_EQ(model.ProblemAt(model.index(2499, 0, group))->line, 2502);
  qInstallMessageHandler(previous);
  EXPECT_TRUE(complaints.isEmpty()) << complaints.join('\n').toStdString();
}

TEST(LineIndex, ReadsAnyLineAgainAcrossTheNotedStarts) {
  QTemporaryDir dir;
  const std::string path = dir.filePath("lines.txt").toStdString();
  std::string file;
  constexpr long kLines = 3 * qtfront::LineIndex::kStep + 5;
  for (long n = 1; n <= kLines; ++n) {
    file += "line " + std::to_string(n) + std::string(static_cast<std::size_t>(n % 7), '.');
    if (n < kLines) file += n % 2 ? "\r\n" : "\n";  // the last line has no end
  }
  std::ofstream(path, std::ios::binary) << file;
  qtfront::LineIndex index;
  for (std::size_t at = 0; at < file.size(); at += 7)
    index.Read(file.data() + at, std::min<std::size_t>(7, file.size() - at), at);
  for (long n : {1L, 2L, 1024L, 1025L, 1026L, 2048L, 2049L, 3073L, kLines}) {
    EXPECT_EQ(index.Line(path, n),
              "line " + std::to_string(n) + std::string(static_cast<std::size_t>(n % 7), '.'))
        << n;
  }
  EXPECT_EQ(index.Line(path, kLines + 1), std::nullopt);
  EXPECT_EQ(index.Line(path, 0), std::nullopt);
}

TEST_F(CheckWindowTest, AFileThatCannotBeReadIsSaidSo) {
  CheckWindow window;
  CheckIn(window, Path("missing.txt"));
  EXPECT_EQ(window.CurrentState(), CheckWindow::State::Unreadable);
  EXPECT_TRUE(window.Summary()->text().startsWith("Não foi possível ler o arquivo"));
  EXPECT_FALSE(window.ExportButton()->isEnabled());
}

TEST_F(CheckWindowTest, ClosingTheWindowStopsTheCheckUnderWay) {
  sample::Write(Path("big.txt"), sample::Lines(200000));
  const struct {
    const char* how;
    std::function<void(std::unique_ptr<CheckWindow>&)> close;
  } cases[] = {
      {"closed", [](auto& window) { window->close(); }},
      {"deleted", [](auto& window) { window.reset(); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.how);
    auto window = std::make_unique<CheckWindow>();
    int ends = 0;
    window->OnFinished([&](CheckWindow::State) { ++ends; });
    window->show();
    window->Open(QString::fromStdString(Path("big.txt")));
    while (window->Progress()->value() == 0) QTest::qWait(5);
    ASSERT_EQ(window->CurrentState(), CheckWindow::State::Checking) << "the file is checked too soon";
    c.close(window);
    if (window) {
      EXPECT_EQ(window->CurrentState(), CheckWindow::State::Cancelled);
      EXPECT_EQ(window->Outcome(), nullptr);
      EXPECT_FALSE(window->CancelButton()->isEnabled());
      EXPECT_EQ(ends, 1);
    }
    // What the stopped thread posted is dropped, not delivered.
    QTest::qWait(50);
    EXPECT_EQ(ends, window ? 1 : 0);
  }
}

TEST_F(CheckWindowTest, AStoppedCheckEndsBeforeTheEndOfTheFile) {
  sample::Write(Path("big.txt"), sample::Lines(200000));
  std::shared_ptr<const qtfront::CheckOutcome> outcome;
  qtfront::CheckJob job(Path("big.txt"), [&](auto ended) { outcome = std::move(ended); });
  while (job.BytesRead() == 0) std::this_thread::yield();
  job.Stop();
  job.Wait();
  ASSERT_TRUE(outcome);
  EXPECT_EQ(outcome->kind, qtfront::CheckOutcome::Kind::Stopped);
  EXPECT_LT(job.BytesRead(), job.FileSize());
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
