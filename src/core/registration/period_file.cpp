#include "registration/period_file.h"

#include <algorithm>
#include <initializer_list>

#include "base/calendar.h"
#include "data/price_text.h"
#include "data/stock_code.h"
#include "formats/cell_text.h"

namespace tavrin {

namespace {

std::string lowerExtension(const std::filesystem::path& p) {
  std::string ext = p.extension().string();
  for (char& c : ext)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return ext;
}

void addPrice(PeriodPrices& out, std::string key, std::optional<std::int32_t> price) {
  auto [it, added] = out.index.emplace(std::move(key), price);
  if (!added) return;  // the upper row wins, even without a price
  out.codes.push_back(it->first);
  if (price) ++out.pricesRead;
}

// The registration's own layout of an .xls sheet.
void readXlsLayout(const SheetCells& sheet, PeriodPrices& out) {
  for (const SheetCells::Row& row : sheet.rows) {
    if (row.index == 0) continue;
    const Value* code = row.at(0);
    std::optional<std::string> key = code ? codeKey(*code) : std::nullopt;
    if (!key) continue;
    const Value* cell = row.at(2);
    std::optional<std::int32_t> price = cell ? priceFromCell(*cell) : std::nullopt;
    if (cell && !price) ++out.notNumbers;
    addPrice(out, std::move(*key), price);
  }
}

}  // namespace

bool hasPriceFileExtension(const std::string& name) {
  const std::string ext = lowerExtension(fromUtf8(name));
  return ext == ".xls" || ext == ".xlsx" || ext == ".ods" || ext == ".csv" || ext == ".txt";
}

std::filesystem::path resolvePriceFile(const Paths& paths, const std::string& name) {
  const std::filesystem::path given = fromUtf8(name);
  const std::filesystem::path base = given.is_absolute() ? given : paths.root() / given;
  if (hasPriceFileExtension(name)) return base;
  std::error_code ec;
  for (const char* ext : {".xls", ".xlsx", ".ods", ".csv"}) {
    std::filesystem::path candidate = base;
    candidate += ext;
    if (std::filesystem::is_regular_file(candidate, ec)) return candidate;
  }
  std::filesystem::path fallback = base;
  fallback += ".xls";
  return fallback;
}

PeriodPrices readPeriodPrices(const SheetCells& sheet, PriceFileKind kind, std::optional<int> expectedDay) {
  PeriodPrices out;
  out.formulasWithoutValue = sheet.formulaCellsWithoutValue;
  out.index.reserve(sheet.rows.size());
  if (kind == PriceFileKind::Xls) {
    readXlsLayout(sheet, out);
    return out;
  }
  if (sheet.rows.empty()) return out;

  int codeCol = 0, closeCol = 2, dateCol = -1;
  const SheetCells::Row& first = sheet.rows.front();
  std::vector<std::string> keys;
  for (const auto& [column, value] : first.cells) {
    if (column >= 256) break;  // a header is not that wide
    if (keys.size() <= column) keys.resize(column + 1);
    if (value.isText()) keys[column] = headerKey(value.textValue());
  }
  const int headerCode = findHeaderColumn(
      keys, {"コード", "銘柄コード", "証券コード", "sc", "code", "symbol", "ticker", "銘柄ｺｰﾄﾞ", "ｺｰﾄﾞ"});
  const int headerClose = findHeaderColumn(keys, {"終値", "株価", "現在値", "close"});
  std::size_t firstData = 0;
  if (headerCode >= 0 && headerClose >= 0) {
    out.headerFound = true;
    codeCol = headerCode;
    closeCol = headerClose;
    dateCol = findHeaderColumn(keys, {"日付", "date"});
    firstData = 1;
  } else {
    std::int32_t p = 0;
    const Value* close = first.at(2);
    if (!close || priceOf(*close, p) != PriceCell::Price) firstData = 1;
  }

  const auto code = static_cast<std::uint32_t>(codeCol), close = static_cast<std::uint32_t>(closeCol);
  for (std::size_t r = firstData; r < sheet.rows.size(); ++r) {
    const SheetCells::Row& row = sheet.rows[r];
    const Value* codeCell = row.at(code);
    std::optional<std::string> key = codeCell ? stockCodeOf(*codeCell) : std::nullopt;
    if (!key) continue;
    if (dateCol >= 0 && expectedDay && !out.otherDay) {
      if (const Value* d = row.at(static_cast<std::uint32_t>(dateCol))) {
        std::optional<int> day = dayOfCell(*d);
        if (day && *day != *expectedDay) out.otherDay = day;
      }
    }
    std::optional<std::int32_t> price;
    if (const Value* cell = row.at(close)) {
      std::int32_t p = 0;
      switch (priceOf(*cell, p)) {
        case PriceCell::Price: price = p; break;
        case PriceCell::NoPrice: break;
        case PriceCell::NotNumber: ++out.notNumbers; break;
      }
    }
    addPrice(out, std::move(*key), price);
  }
  return out;
}

QueryResult sheetTable(const SheetCells& sheet, std::size_t maxRows, std::uint32_t maxColumns) {
  QueryResult out;
  std::uint32_t columns = 0;
  for (const SheetCells::Row& row : sheet.rows)
    if (!row.cells.empty()) columns = std::max(columns, std::min(maxColumns, row.cells.back().first + 1));
  const SheetCells::Row* title = sheet.row(0);
  for (std::uint32_t c = 0; c < columns; ++c) {
    const Value* v = title ? title->at(c) : nullptr;
    out.fields.push_back(v ? v->display() : "F" + std::to_string(c + 1));
  }
  // Empty rows between rows holding something are shown as they are.
  std::uint32_t next = 1;
  for (const SheetCells::Row& row : sheet.rows) {
    if (row.index == 0) continue;
    for (; next < row.index && out.rows.size() < maxRows; ++next) out.rows.emplace_back(columns);
    if (out.rows.size() >= maxRows) break;
    Row r(columns);
    for (const auto& [c, v] : row.cells)
      if (c < columns) r[c] = v;
    out.rows.push_back(std::move(r));
    next = row.index + 1;
  }
  return out;
}

PriceIndex buildPriceIndex(const Workbook& book) {
  PriceIndex index;
  const std::uint32_t rows = book.rows();  // at most 65,536: the reader refuses larger claims
  index.reserve(rows);
  for (std::uint32_t r = 1; r < rows; ++r) {
    std::optional<std::string> key = codeKey(book.cell(r, 0));
    if (!key) continue;
    auto it = index.find(*key);
    if (it != index.end()) continue;  // the upper row wins
    index.emplace(std::move(*key), priceFromCell(book.cell(r, 2)));
  }
  return index;
}

}  // namespace tavrin
