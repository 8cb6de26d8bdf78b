// The two text layouts of instruments' records that Quorvex writes and reads:
// their column names, and how they write dates, times and periods.
//
// table: for pandas and databases. One row per record, every instrument's
// rows in one file; a column the instrument does not hold is empty. Dates
// YYYY-MM-DD, times HH:MM:SS.
// metastock: the ASCII layout charting programs import. Dates YYYYMMDD,
// times HHMMSS.
// In both, a period is the letter master stores (kPeriodLetters, or its lower
// case for a composite) and every number the shortest text that reads back
// as the stored float.
#pragma once

#include <array>
#include <string_view>

enum class TextLayout { Table, MetaStock };

inline constexpr std::array<std::string_view, 13> kTableColumns = {
    "directory", "file", "symbol", "name",  "period", "date",         "time",
    "open",      "high", "low",    "close", "volume", "open_interest"};
inline constexpr char kTableDateSeparator = '-';
inline constexpr char kTableTimeSeparator = ':';

inline constexpr std::array<std::string_view, 10> kMetaStockColumns = {
    "<TICKER>", "<PER>", "<DTYYYYMMDD>", "<TIME>", "<OPEN>",
    "<HIGH>",   "<LOW>", "<CLOSE>",      "<VOL>",  "<OPENINT>"};

// Daily, weekly, monthly, intraday.
inline constexpr std::string_view kPeriodLetters = "DWMI";
