// The take book across many runs: random scenario edits (the ledger's kinds,
// speeches over two lines among them) with random director marks between
// the runs (statuses, takes, notes, a column of the studio's own, marks
// typed into the script workbooks), and what must hold after every run.
#include <gtest/gtest.h>

#include <map>
#include <set>

#include "scriptbuilder/recording/take_book.h"
#include "scriptbuilder/recording/take_book_run.h"
#include "scriptbuilder/workbooks/library_files.h"
#include "scriptbuilder/workbooks/table_workbook.h"
#include "shell/cp932_decoder.h"
#include "shell/names.h"
#include "tests/random_scenario.h"
#include "tests/support.h"

namespace lumeno {
namespace {

using namespace scriptbuilder;
using testing::read_file;
using testing::u8path;
using testing::write_file;
namespace fs = std::filesystem;

std::string u(std::u8string_view text) { return {reinterpret_cast<const char*>(text.data()), text.size()}; }

// What the director last did to a voice.
struct Marked {
  std::string status;  // as typed ("" for none)
  std::vector<std::string> notes;  // each must stay in 備考
  std::string studio;  // the studio's own column
};

class TakeProperty {
 public:
  explicit TakeProperty(unsigned seed) : scenario_(seed, dir_.path(), true) {
    write_file(home_ / u8path(u8"キャラ定義.txt"), "ERI,エリ\r\nYUU,ユウ\r\n,先生\r\n");
    EXPECT_EQ(testing::vocar_config(home_, dir_.path(), {"track_takes=1"}).status, 0);
  }

  testing::RandomScenario& scenario() { return scenario_; }
  testing::CliResult run() { return testing::vocar_run(home_, dir_.path()); }

  TakeBook book() const {
    const std::string bytes = read_file(home_ / u8path(u8"収録台帳.xlsx"));
    Result<std::vector<BookSheet>> sheets = read_book_sheets(bytes, decoder_);
    EXPECT_TRUE(sheets.ok()) << (sheets.ok() ? "" : sheets.error());
    if (!sheets) return {};
    Result<TakeBook> book = take_book_from_sheets(std::move(*sheets));
    EXPECT_TRUE(book.ok()) << (book.ok() ? "" : book.error());
    return book ? std::move(*book) : TakeBook{};
  }

  // The director's session: some rows marked, a column moved, the book
  // written back as a spreadsheet program would; some marks typed into a
  // script workbook instead.
  void mark(std::map<std::string, Marked>& marked) {
    TakeBook book = this->book();
    if (book.rows.empty()) return;
    static const std::vector<std::string> statuses = {"OK", "OK", "NG", u(u8"保留"), "", "ok", u(u8"ＯＫ")};
    std::uint32_t studio = 0;
    for (; studio < book.extra_headers.size() && book.extra_headers[studio] != u(u8"担当"); ++studio) {
    }
    if (studio == book.extra_headers.size()) book.extra_headers.push_back(u(u8"担当"));
    for (std::size_t k = 1 + scenario_.pick(5); k > 0; --k) {
      TakeRow& row = book.rows[scenario_.pick(book.rows.size())];
      Marked& m = marked[row.voice()];
      m.status = statuses[scenario_.pick(statuses.size())];
      row.own[takes::kStatus] = CellValue::of_text(m.status);
      row.own[takes::kTake] = CellValue::of_number(static_cast<double>(1 + scenario_.pick(9)));
      if (scenario_.pick(2) == 0) {
        const std::string note = u(u8"メモ") + std::to_string(serial_++);
        std::string notes = cell_text(row.own[takes::kNotes]);
        notes += (notes.empty() ? "" : "\n") + note;
        row.own[takes::kNotes] = CellValue::of_text(notes);
        m.notes.push_back(note);
      }
      m.studio = u(u8"田中") + std::to_string(serial_++);
      if (row.extra.size() <= studio) row.extra.resize(studio + 1);
      row.extra[studio] = CellValue::of_text(m.studio);
    }
    write_book(book);

    // Marks typed into a script workbook: a status where the book has none
    // (it is taken), and a note.
    std::vector<std::pair<std::string, std::pair<std::string, std::string>>> typed;
    for (std::size_t k = scenario_.pick(3); k > 0; --k) {
      const TakeRow& row = book.rows[scenario_.pick(book.rows.size())];
      if (row.retired) continue;
      const std::string note = u(u8"台本") + std::to_string(serial_++);
      Marked& m = marked[row.voice()];
      const bool open = cell_text(row.own[takes::kStatus]).empty();
      const std::string status = open ? u(u8"保留") : "";
      if (open) m.status = status;
      m.notes.push_back(note);
      typed.push_back({row.voice(), {status, note}});
    }
    if (!typed.empty()) write_script_marks(typed);
  }

  fs::path home() const { return home_; }

 private:
  // The book as a director's program writes it: sheets of the rows, Vocar's
  // columns in another order, the studio's column first.
  void write_book(const TakeBook& book) {
    std::map<std::string, std::vector<const TakeRow*>> by_sheet;
    for (const TakeRow& row : book.rows) by_sheet[row.retired ? u(u8"欠番") : row.sheet].push_back(&row);
    std::vector<TableSheet> sheets;
    std::deque<CellValue> cells;
    for (const auto& [name, rows] : by_sheet) {
      TableSheet& sheet = sheets.emplace_back();
      sheet.name = name;
      for (std::size_t e = 0; e < book.extra_headers.size(); ++e) sheet.columns.push_back({book.extra_headers[e], 10, false, {}});
      for (int c = takes::kColumnCount - 1; c >= 0; --c) sheet.columns.push_back({std::string(takes::header(static_cast<takes::Column>(c))), 10, false, {}});
      sheet.columns.push_back({std::string(takes::left_header()), 10, false, {}});
      for (const TakeRow* row : rows) {
        for (std::size_t e = 0; e < book.extra_headers.size(); ++e) {
          sheet.cells.push_back(e < row->extra.size() && !row->extra[e].empty() ? &row->extra[e] : nullptr);
        }
        for (int c = takes::kColumnCount - 1; c >= 0; --c) {
          const CellValue& v = row->own[static_cast<std::size_t>(c)];
          sheet.cells.push_back(v.empty() ? nullptr : &v);
        }
        sheet.cells.push_back(row->left_on.empty() ? nullptr : &row->left_on);
      }
    }
    write_workbook(home_ / u8path(u8"収録台帳.xlsx"), sheets);
  }

  void write_script_marks(const std::vector<std::pair<std::string, std::pair<std::string, std::string>>>& typed) {
    std::deque<CellValue> cells;
    TableSheet sheet;
    sheet.name = "scn_f";
    for (const char* header : {"A", "B", "C", "D", "E"}) sheet.columns.push_back({header, 10, false, {}});
    for (const auto& [voice, mark] : typed) {
      sheet.cells.push_back(&cells.emplace_back(CellValue::of_text(voice)));
      sheet.cells.push_back(nullptr);
      sheet.cells.push_back(nullptr);
      sheet.cells.push_back(mark.first.empty() ? nullptr : &cells.emplace_back(CellValue::of_text(mark.first)));
      sheet.cells.push_back(&cells.emplace_back(CellValue::of_text(mark.second)));
    }
    const fs::path folder = home_ / u8path(u8"声優用台本");
    fs::create_directories(folder);
    write_workbook(folder / ("typed" + std::to_string(serial_++) + ".xlsx"), {sheet});
  }

  void write_workbook(const fs::path& path, const std::vector<TableSheet>& sheets) {
    const fs::path scratch = dir_ / ("scratch" + std::to_string(serial_++) + ".xlsx");
    const WorkbookTarget target{*library_files::library_name(scratch), *library_files::library_name(dir_.path())};
    ASSERT_EQ(write_table_workbook(target, sheets, [] { return false; }), WorkbookStatus::written);
    fs::rename(scratch, path);
  }

  testing::TempDir dir_;
  testing::RandomScenario scenario_;
  fs::path home_ = dir_ / "home";
  Cp932Decoder decoder_;
  std::size_t serial_ = 0;
};

TEST(VocarTakeBookProperty, NoMarkIsLostAndNoOkStandsOnAChangedLine) {
  for (unsigned round = 0; round < 1; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    TakeProperty p(100 + round);
    testing::Files files = p.scenario().random_scenario();
    p.scenario().write_scenario(files);
    std::map<std::string, Marked> marked;
    for (int step = 0; step < 20; ++step) {
      SCOPED_TRACE("step " + std::to_string(step));
      const testing::CliResult r = p.run();
      ASSERT_EQ(r.status, 0) << r.err << r.out;
      EXPECT_NE(r.out.find(testing::u8(u8"収録済 ")), std::string::npos) << r.out;
      const TakeBook book = p.book();

      std::map<std::string, const TakeRow*> rows;
      for (const TakeRow& row : book.rows) EXPECT_TRUE(rows.emplace(row.voice(), &row).second) << row.voice();
      for (const auto& [voice, m] : marked) {
        const auto it = rows.find(voice);
        ASSERT_NE(it, rows.end()) << voice << " lost its row";
        const TakeRow& row = *it->second;
        const std::string status = cell_text(row.own[takes::kStatus]);
        const bool ok = m.status == "OK" || m.status == "ok" || m.status == u(u8"ＯＫ");
        if (ok) {
          EXPECT_TRUE(status == m.status || status == u(u8"要再収録") || status == "OK") << voice << ": " << status;
        } else {
          EXPECT_EQ(status, m.status) << voice;
        }
        const std::string notes = cell_text(row.own[takes::kNotes]);
        for (const std::string& note : m.notes) EXPECT_NE(notes.find(note), std::string::npos) << voice << " lost " << note;
        if (!m.studio.empty()) {
          std::size_t e = 0;
          while (e < book.extra_headers.size() && book.extra_headers[e] != u(u8"担当")) ++e;
          ASSERT_LT(e, row.extra.size()) << voice;
          EXPECT_EQ(cell_text(row.extra[e]), m.studio) << voice;
        }
      }
      // No OK stands on a text other than the one recorded.
      for (const TakeRow& row : book.rows) {
        const std::string key = cell_text(row.own[takes::kStatus]);
        if (key == "OK" || key == "ok" || key == u(u8"ＯＫ")) {
          EXPECT_EQ(cell_text(row.own[takes::kRecordedText]), cell_text(row.own[takes::kText])) << row.voice();
        }
      }
      // The counts add up to the rows in use.
      TakeCounts counts;
      for (const TakeRow& row : book.rows) {
        if (row.retired) continue;
        ++counts.in_use;
        count_status(counts, row.own[takes::kStatus]);
      }
      EXPECT_EQ(counts.in_use, counts.ok + counts.ng + counts.hold + counts.redo + counts.open + counts.other);
      EXPECT_NE(r.out.find(names::utf8_from_cp932_lossy(take_counts_line(counts))), std::string::npos) << r.out;

      p.mark(marked);
      for (std::size_t k = 1 + p.scenario().pick(3); k > 0; --k) p.scenario().edit(files);
      p.scenario().write_scenario(files);
    }
  }
}

}  // namespace
}  // namespace lumeno
