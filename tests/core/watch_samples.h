#pragma once
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "data/database.h"
#include "data/price_schema.h"

namespace tavrin::test {

// A stock for the price table: latest price and the price one period before,
// which decide ratio1 ((before / latest * 100) - 100).
struct SampleStock {
  std::string code;  // "7203" or "130A"
  std::string name;
  std::string market;
  std::int64_t unit = 100;
  std::int64_t latest = 1000;
  std::int64_t before = 1000;
};

// A daily price database holding these stocks.
inline void plantStocks(const std::filesystem::path& dbPath, const std::vector<SampleStock>& stocks) {
  if (!std::filesystem::exists(dbPath)) createPriceDatabase(dbPath, "day");
  Database db(dbPath);
  Transaction tx(db);
  for (const SampleStock& s : stocks) {
    db.execute(
        "insert into [list] ([銘柄],[コード],[市場],[単位],[kabuka1],[kabuka2],[kabuka3],[kabuka4],[kabuka5],"
        "[kabuka6],[kabuka7],[kabuka8],[kabuka9],[kabuka10]) values (?,?,?,?,?,?,?,?,?,?,?,?,?,?)",
        {s.name, s.code, s.market, s.unit, s.latest, s.before, s.latest, s.latest, s.latest, s.latest, s.latest,
         s.latest, s.latest, s.latest});
  }
  tx.commit();
}

// Codes of a query's rows (field コード), in row order.
inline std::vector<std::string> codesOf(const QueryResult& r) {
  std::vector<std::string> out;
  int col = -1;
  for (size_t i = 0; i < r.fields.size(); ++i)
    if (r.fields[i] == "コード") col = static_cast<int>(i);
  for (const Row& row : r.rows) out.push_back(col < 0 ? std::string() : row[static_cast<size_t>(col)].display());
  return out;
}

}  // namespace tavrin::test
