#pragma once
// Price and companion databases for the transfer and backup tests.
#include <array>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "data/database.h"
#include "data/price_schema.h"
#include "exchange/companion.h"

namespace tavrin::test {

struct SenderStock {
  Value code;
  std::string name;
  std::array<Value, 10> prices;
};

// Prices base, base+1, ... for positions 1..10.
inline std::array<Value, 10> priceRun(std::int64_t base) {
  std::array<Value, 10> p;
  for (int i = 0; i < 10; ++i) p[static_cast<size_t>(i)] = Value(base + i);
  return p;
}

inline DateRecord sampleDates(const std::string& unit, int day = 20) {
  DateRecord rec;
  for (int i = 0; i < 10; ++i) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "26/11/%02d", day - i);
    rec.dates[static_cast<size_t>(i)] = buf;
    rec.sourceNames[static_cast<size_t>(i)] = "owarine" + std::to_string(i + 1);
  }
  rec.unit = unit;
  return rec;
}

inline void makeSender(const std::filesystem::path& path, const std::string& unit,
                       const std::vector<SenderStock>& stocks, const DateRecord& dates) {
  createPriceDatabase(path, unit);
  Database db(path);
  Transaction tx(db);
  Statement st(db,
               "insert into [list] ([銘柄],[コード],[市場],[単位],[kabuka1],[kabuka2],[kabuka3],[kabuka4],[kabuka5],"
               "[kabuka6],[kabuka7],[kabuka8],[kabuka9],[kabuka10]) values (?,?,'東証１部',100,?,?,?,?,?,?,?,?,?,?)");
  for (const SenderStock& s : stocks) {
    st.bind(1, s.name);
    st.bind(2, s.code);
    for (int i = 0; i < 10; ++i) st.bind(i + 3, s.prices[static_cast<size_t>(i)]);
    st.step();
    st.reset();
  }
  writeDateRecord(db, dates);
  tx.commit();
}

inline void makeCompanion(const std::filesystem::path& path, const std::vector<SenderStock>& stocks) {
  createCompanionDatabase(path);
  Database db(path);
  Transaction tx(db);
  Statement st(db,
               "insert into [list] ([コード],[銘柄],[kabuka1],[kabuka2],[kabuka3],[kabuka4],[kabuka5],[kabuka6],"
               "[kabuka7],[kabuka8],[kabuka9],[kabuka10]) values (?,?,?,?,?,?,?,?,?,?,?,?)");
  for (const SenderStock& s : stocks) {
    st.bind(1, s.code);
    st.bind(2, s.name);
    for (int i = 0; i < 10; ++i) st.bind(i + 3, s.prices[static_cast<size_t>(i)]);
    st.step();
    st.reset();
  }
  tx.commit();
}

// Every row of a table in rowid order.
inline std::vector<Row> tableRows(const std::filesystem::path& path, const std::string& table) {
  Database db(path, Database::Mode::ReadOnly);
  return db.query("select * from [" + table + "] order by rowid").rows;
}

// The prices kabuka1..10 of the companion row with that rowid.
inline std::vector<Value> companionPrices(const std::filesystem::path& path, std::int64_t rowid) {
  Database db(path, Database::Mode::ReadOnly);
  std::string sql = "select ";
  for (int i = 1; i <= 10; ++i) sql += std::string(i > 1 ? ", " : "") + "[kabuka" + std::to_string(i) + "]";
  auto r = db.query(sql + " from [list] where rowid = ?", {rowid});
  return r.rows.empty() ? std::vector<Value>{} : r.rows.front();
}

inline std::vector<Value> values(const std::array<Value, 10>& a) { return {a.begin(), a.end()}; }

inline std::string fileBytes(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace tavrin::test
