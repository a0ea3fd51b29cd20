#pragma once
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "app/paths.h"
#include "data/database.h"
#include "data/stock_code.h"
#include "formats/price_file.h"
#include "formats/xls/workbook.h"

namespace tavrin {

// Code -> price of a sheet.
using PriceIndex = std::unordered_map<std::string, std::optional<std::int32_t>>;

// The file a period's prices come from. The name of a date row (or of the
// command line) may carry an extension (.xls, .xlsx, .ods, .csv, .txt); without
// one NAME.xls is used when it exists, else NAME.xlsx, NAME.ods, NAME.csv, in
// this order (NAME.xls when none exists). An absolute path is used as it is, a
// relative one is below the data root.
std::filesystem::path resolvePriceFile(const Paths& paths, const std::string& name);
bool hasPriceFileExtension(const std::string& name);

// One period's prices as read from a sheet (or a CSV file).
struct PeriodPrices {
  PriceIndex index;                // code key -> price (nothing: the row has no usable price)
  std::vector<std::string> codes;  // the codes in file order, each once
  std::size_t pricesRead = 0;      // codes with a usable price
  std::size_t notNumbers = 0;      // price cells holding something that is no number
  std::size_t formulasWithoutValue = 0;
  bool headerFound = false;     // columns found by their header names
  std::optional<int> otherDay;  // a date column names this day instead of the expected one
};

// The prices of one sheet. An .xls sheet is read as the registration always
// read it: column 1 the code, column 3 the price, the first row a header,
// number cells only. Every other kind finds its code, close and date columns
// by their header names (コード/SC/Code/<TICKER>…, 終値/株価/Close/<CLOSE>…,
// 日付/Date/<DATE>); without such a header column 1 is the code and column 3
// the close, and the first row is skipped when its close is no number. There
// codes and prices are read in the forms data services write them. When the
// file has a date column and expectedDay is given, a row of another day sets
// otherDay.
PeriodPrices readPeriodPrices(const SheetCells& sheet, PriceFileKind kind, std::optional<int> expectedDay);

// A sheet as a table, as the registration window shows the sheet last read:
// the first row gives the field names (F1, F2… where empty), the other rows
// the data, at most maxRows of them and at most maxColumns columns.
// Code -> price of one .xls sheet: column 1 the code, column 3 the price, the
// first row a header. The upper row of a repeated code wins, even when its
// price is empty (then the stock keeps its stored price).
PriceIndex buildPriceIndex(const Workbook& book);

QueryResult sheetTable(const SheetCells& sheet, std::size_t maxRows, std::uint32_t maxColumns = 64);

}  // namespace tavrin
