#include <gtest/gtest.h>

#include <random>

#include "namefinder/candidates.h"
#include "namefinder/namex.h"
#include "tests/support.h"

namespace lumeno::namefinder {
namespace {

const std::string kSeparator = "\r\n//" + std::string(68, '-') + "\r\n";

std::string footer(int count) { return kSeparator + "// " + std::to_string(count) + " 件のキャラ名候補が見つかりました。\r\n"; }

ReportOptions options_for(ListOrder order, bool reverse = false) {
  ReportOptions options;
  options.scan.marks = {"「", "『", "（"};
  options.order = order;
  options.reverse = reverse;
  return options;
}

std::string report(std::string_view text, std::optional<std::string_view> exclusion = std::nullopt, const ReportOptions& options = options_for(ListOrder::by_name)) {
  return build_report(text, exclusion, options);
}

TEST(NamexReport, ListsCountsNamesAndTheTotal) {
  EXPECT_EQ(report("太郎「a」\r\n花子「b」\r\n太郎「c」\r\n", std::nullopt, options_for(ListOrder::by_count)),
            "[    2個] ,太郎\r\n[    1個] ,花子\r\n" + footer(2));
  EXPECT_EQ(report("地の文だけ。\r\n"), footer(0));
  EXPECT_EQ(report(""), footer(0));
}

TEST(NamexReport, ExclusionListLeavesNamesOut) {
  const std::string text = "太郎「あ」\r\n花子「い」\r\n太郎「う」\r\n";
  EXPECT_EQ(report(text, std::string_view("太郎\r\n// 注釈\r\n")), "[    1個] ,花子\r\n" + footer(1));
  // Whole lines, blanks included; empty lines and lone CR or LF ends alike.
  EXPECT_EQ(report(text, std::string_view("太郎 ")), "[    1個] ,花子\r\n[    2個] ,太郎\r\n" + footer(2));
  EXPECT_EQ(report(text, std::string_view("\r\n\n花子\r\r太郎")), footer(0));
  // A name listed twice is still one excluded name.
  EXPECT_EQ(report(text, std::string_view("太郎\n太郎\n")), "[    1個] ,花子\r\n" + footer(1));
  // An empty list excludes nothing.
  EXPECT_EQ(report(text, std::string_view("")), "[    1個] ,花子\r\n[    2個] ,太郎\r\n" + footer(2));
}

TEST(NamexReport, ANameEndsAtItsFirstZeroByte) {
  using namespace std::string_literals;
  // The bytes after a zero byte are not part of the name: both lines count for 太郎.
  const std::string text = "太郎「a」\r\n太郎\0x「b」\r\n花子\0「c」\r\n"s;
  EXPECT_EQ(report(text), "[    1個] ,花子\r\n[    2個] ,太郎\r\n" + footer(2));
  // An exclusion-list line ends at its zero byte too.
  EXPECT_EQ(report(text, "花子\0 (heroine)\r\n"s), "[    2個] ,太郎\r\n" + footer(1));
  // A line that begins with a zero byte yields the empty name, listed like any other.
  const std::string report_text = report("\0x「a」\r\n"s);
  EXPECT_EQ(report_text, "[    1個] ,\r\n" + footer(1));
  EXPECT_EQ(report_text.find('\0'), std::string::npos);
}

TEST(NamexReport, AnEmptyFirstLineOfTheExclusionListIsAnEntryThatTakesPartInTheOrder) {
  // First found P (1), R (1), Q (2): by count the exchange sort gives Q, R, P;
  // an empty excluded entry in front changes the ties to Q, P, R.
  const std::string text = "P「\nR「\nQ「\nQ「\n";
  EXPECT_EQ(report(text, std::nullopt, options_for(ListOrder::by_count)),
            "[    2個] ,Q\r\n[    1個] ,R\r\n[    1個] ,P\r\n" + footer(3));
  EXPECT_EQ(report(text, std::string_view("\r\n"), options_for(ListOrder::by_count)),
            "[    2個] ,Q\r\n[    1個] ,P\r\n[    1個] ,R\r\n" + footer(3));
}

TEST(NamexReport, OrdersByNameAsUnsignedBytesWithPrefixesFirst) {
  const std::string text = "B「\nAB「\nA「\n\xE0\x40「\n";
  EXPECT_EQ(report(text),
            "[    1個] ,A\r\n[    1個] ,AB\r\n[    1個] ,B\r\n[    1個] ,\xE0\x40\r\n" + footer(4));
  EXPECT_EQ(report(text, std::nullopt, options_for(ListOrder::by_name, true)),
            "[    1個] ,\xE0\x40\r\n[    1個] ,B\r\n[    1個] ,AB\r\n[    1個] ,A\r\n" + footer(4));
}

TEST(NamexReport, EqualCountsFollowTheExchangeSort) {
  // First found P (1 time), Q (2 times), R (1 time).
  const std::string text = "P「\nQ「\nR「\nQ「\n";
  EXPECT_EQ(report(text, std::nullopt, options_for(ListOrder::by_count)),
            "[    2個] ,Q\r\n[    1個] ,P\r\n[    1個] ,R\r\n" + footer(3));
  EXPECT_EQ(report(text, std::nullopt, options_for(ListOrder::by_count, true)),
            "[    1個] ,P\r\n[    1個] ,R\r\n[    2個] ,Q\r\n" + footer(3));
  // Any other order setting keeps the table's order.
  EXPECT_EQ(report(text, std::nullopt, options_for(ListOrder::table, true)),
            "[    1個] ,P\r\n[    2個] ,Q\r\n[    1個] ,R\r\n" + footer(3));
  // Excluded entries take part in the sort unseen (with count 1 when never
  // found), and so move equal counts: R, Q, P without X, R, P, Q with it.
  const std::string ties = "P「\nQ「\nR「\nR「\n";
  EXPECT_EQ(report(ties, std::nullopt, options_for(ListOrder::by_count)),
            "[    2個] ,R\r\n[    1個] ,Q\r\n[    1個] ,P\r\n" + footer(3));
  EXPECT_EQ(report(ties, std::string_view("X"), options_for(ListOrder::by_count)),
            "[    2個] ,R\r\n[    1個] ,P\r\n[    1個] ,Q\r\n" + footer(3));
}

TEST(NamexReport, WideCountsPrintEveryDigit) {
  std::string text;
  for (int i = 0; i < 100000; ++i) text += "A「\n";
  EXPECT_EQ(report(text), "[100000個] ,A\r\n" + footer(1));
}

// The exchange sort as written: for each position, every later entry that
// must come first is swapped into it.
template <class T, class Before>
std::vector<T> literal_exchange_sort(std::vector<T> items, Before before) {
  for (std::size_t a = 0; a + 1 < items.size(); ++a) {
    for (std::size_t b = a + 1; b < items.size(); ++b) {
      if (before(items[b], items[a])) std::swap(items[a], items[b]);
    }
  }
  return items;
}

TEST(NamexReport, ExchangeOrderMatchesTheLiteralSortOnManyTies) {
  std::mt19937 rng(7);
  for (int round = 0; round < 2000; ++round) {
    const std::size_t n = rng() % 60;
    const auto distinct = static_cast<unsigned>(1 + rng() % 6);
    std::vector<int> keys(n);
    for (int& k : keys) k = static_cast<int>(rng() % distinct);
    std::vector<std::size_t> items(n);
    for (std::size_t i = 0; i < n; ++i) items[i] = i;
    for (const bool descending : {false, true}) {
      auto before = [&](std::size_t a, std::size_t b) { return descending ? keys[a] > keys[b] : keys[a] < keys[b]; };
      ASSERT_EQ(exchange_sort_order(n, before), literal_exchange_sort(items, before)) << "round " << round;
    }
  }
}

TEST(NamexReport, ReportOrderMatchesTheLiteralSortForEveryOrder) {
  std::mt19937 rng(11);
  for (int round = 0; round < 200; ++round) {
    std::deque<Candidate> entries;
    const std::size_t n = rng() % 120;
    for (std::size_t i = 0; i < n; ++i) {
      // Few names and counts, so that both keys tie often.
      entries.push_back(Candidate{std::string(1 + rng() % 2, static_cast<char>('A' + rng() % 3)), static_cast<std::int64_t>(1 + rng() % 4), rng() % 4 == 0});
    }
    std::vector<std::size_t> items(n);
    for (std::size_t i = 0; i < n; ++i) items[i] = i;
    const auto name = [&](std::size_t i) { return std::string_view(entries[i].name); };
    const auto count = [&](std::size_t i) { return entries[i].count; };
    EXPECT_EQ(report_order(entries, ListOrder::by_name, false), literal_exchange_sort(items, [&](auto b, auto a) { return name(b) < name(a); }));
    EXPECT_EQ(report_order(entries, ListOrder::by_name, true), literal_exchange_sort(items, [&](auto b, auto a) { return name(b) > name(a); }));
    EXPECT_EQ(report_order(entries, ListOrder::by_count, false), literal_exchange_sort(items, [&](auto b, auto a) { return count(b) > count(a); }));
    EXPECT_EQ(report_order(entries, ListOrder::by_count, true), literal_exchange_sort(items, [&](auto b, auto a) { return count(b) < count(a); }));
  }
}

TEST(NamexReport, ExchangeOrderOfALargeTableIsQuick) {
  // 200000 entries over three counts: the literal sort would take minutes.
  const std::size_t n = 200000;
  std::vector<int> keys(n);
  std::mt19937 rng(3);
  for (int& k : keys) k = static_cast<int>(rng() % 3);
  const std::vector<std::size_t> order = exchange_sort_order(n, [&](std::size_t a, std::size_t b) { return keys[a] > keys[b]; });
  ASSERT_EQ(order.size(), n);
  for (std::size_t i = 1; i < n; ++i) ASSERT_GE(keys[order[i - 1]], keys[order[i]]);
}

}  // namespace
}  // namespace lumeno::namefinder
