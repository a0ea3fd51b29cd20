#pragma once
// Helpers shared by the registration tests: workbooks written by the real
// writer (tools/write_xls.py, xlwt), price databases with stocks, and a dump
// of everything an import or insert may change.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <variant>
#include <vector>

#include "app/paths.h"
#include "data/database.h"
#include "data/price_schema.h"
#include "test_support.h"

namespace tavrin {
// Values in test failures as the grid shows them.
inline void PrintTo(const Value& v, std::ostream* os) { *os << (v.isNull() ? std::string("null") : v.display()); }
}  // namespace tavrin

namespace tavrin::test {

// A formula cell with the value a writer may store with it.
struct Formula {
  std::string text;  // "=C2*2"
  double value = 0;
};

struct Cell {
  std::variant<std::monostate, double, std::string, Formula> v;
  Cell() = default;
  Cell(std::nullptr_t) {}
  Cell(int x) : v(static_cast<double>(x)) {}
  Cell(long long x) : v(static_cast<double>(x)) {}
  Cell(double x) : v(x) {}
  Cell(const char* s) : v(std::string(s)) {}
  Cell(std::string s) : v(std::move(s)) {}
  Cell(Formula f) : v(std::move(f)) {}
};
using SheetRows = std::vector<std::vector<Cell>>;
struct SheetSpec {
  std::string name;
  SheetRows rows;  // the first row is the header
};

struct Stock {
  std::string name;
  Value code;
  std::vector<Value> prices;  // kabuka1..; missing ones are Null
};

namespace registration_detail {
inline std::string jsonString(const std::string& s) {
  std::string out = "\"";
  for (unsigned char c : s) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\u%04x", c);
      out += buf;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

inline std::string jsonCell(const Cell& c) {
  if (std::holds_alternative<std::monostate>(c.v)) return "null";
  if (const double* d = std::get_if<double>(&c.v)) {
    std::ostringstream o;
    o.precision(17);
    o << *d;
    return o.str();
  }
  if (const Formula* f = std::get_if<Formula>(&c.v)) {
    std::ostringstream o;
    o.precision(17);
    o << "{\"formula\": " << jsonString(f->text) << ", \"value\": " << f->value << "}";
    return o.str();
  }
  return jsonString(std::get<std::string>(c.v));
}

// tests/data may not exist: the script is found lexically from it.
inline std::string writerScript() {
  return (std::filesystem::path(TAVRIN_TEST_DATA_DIR).parent_path().parent_path() / "tools" / "write_xls.py").string();
}
}  // namespace registration_detail

// Writes an .xls workbook with xlwt (writer empty) or a workbook of today's
// kinds with the named writer of tools/write_price_file.py (xlsxwriter,
// xlsxwriter-inline, openpyxl, odfpy, ssconvert-xlsx, ssconvert-ods).
inline bool writeWorkbook(const std::filesystem::path& path, const std::vector<SheetSpec>& sheets,
                          const std::string& writer = {}) {
  std::string json = "{\"path\": " + registration_detail::jsonString(toUtf8(path)) +
                     ", \"writer\": " + registration_detail::jsonString(writer) + ", \"sheets\": [";
  for (size_t s = 0; s < sheets.size(); ++s) {
    json += (s ? ", " : "") + std::string("{\"name\": ") + registration_detail::jsonString(sheets[s].name) +
            ", \"rows\": [";
    for (size_t r = 0; r < sheets[s].rows.size(); ++r) {
      json += r ? ",\n[" : "[";
      for (size_t c = 0; c < sheets[s].rows[r].size(); ++c)
        json += (c ? ", " : "") + registration_detail::jsonCell(sheets[s].rows[r][c]);
      json += "]";
    }
    json += "]}";
  }
  json += "]}";
  const std::filesystem::path request = path.string() + ".json";
  {
    std::ofstream out(request, std::ios::binary);
    out << json;
  }
  std::string script = registration_detail::writerScript();
  if (!writer.empty()) script = (std::filesystem::path(script).parent_path() / "write_price_file.py").string();
  CommandResult r = runCommand("/usr/bin/python3 '" + script + "' < '" + request.string() + "'");
  std::filesystem::remove(request);
  return r.status == 0 && std::filesystem::exists(path);
}

inline SheetRows priceRows(const std::vector<std::pair<Cell, Cell>>& codePrices) {
  SheetRows rows = {{"コード", "銘柄", "終値"}};
  for (const auto& [code, price] : codePrices) rows.push_back({code, "name", price});
  return rows;
}

inline void makePriceDb(const std::filesystem::path& path, const std::string& unit, const std::vector<Stock>& stocks) {
  createPriceDatabase(path, unit);
  Database db(path);
  Transaction tx(db);
  std::string cols = "[銘柄], [コード], [市場], [単位], [市場区分]";
  std::string marks = "?, ?, ?, ?, ?";
  for (int k = 1; k <= 10; ++k) {
    cols += ", [kabuka" + std::to_string(k) + "]";
    marks += ", ?";
  }
  for (const std::string table : {"list", "hojyo"}) {
    Statement st(db, "insert into [" + table + "] (" + cols + ") values (" + marks + ")");
    for (const Stock& s : stocks) {
      std::vector<Value> v = {s.name, s.code, "東証１部", 100, "一般"};
      for (size_t k = 0; k < 10; ++k) v.push_back(k < s.prices.size() ? s.prices[k] : Value());
      st.bindAll(v);
      st.step();
      st.reset();
    }
  }
  tx.commit();
}

inline std::vector<Value> pricesOf(Database& db, const Value& code) {
  QueryResult r = db.query(
      "select kabuka1, kabuka2, kabuka3, kabuka4, kabuka5, kabuka6, kabuka7, kabuka8, kabuka9, kabuka10 from list "
      "where [コード] = ?",
      {code});
  return r.rows.empty() ? std::vector<Value>{} : r.rows.front();
}

inline std::string dumpPriceDb(const std::filesystem::path& path) {
  Database db(path, Database::Mode::ReadOnly);
  std::string out;
  for (const char* table : {"list", "hojyo", "日付"}) {
    out += std::string("== ") + table + "\n";
    QueryResult r = db.query(std::string("select * from [") + table + "] order by rowid");
    for (const Row& row : r.rows) {
      for (const Value& v : row) out += (v.isNull() ? std::string("<null>") : v.display()) + "|";
      out += "\n";
    }
  }
  return out;
}

inline std::string readBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// Sets the ten dates of the record to 04/05/10 .. 04/05/01, each read from workbook "base".
inline void setBaseDates(const std::filesystem::path& dbPath) {
  Database d(dbPath);
  DateRecord rec = *readDateRecord(d);
  for (int k = 0; k < 10; ++k) {
    char date[16];
    std::snprintf(date, sizeof date, "04/05/%02d", 10 - k);
    rec.dates[static_cast<size_t>(k)] = date;
    rec.sourceNames[static_cast<size_t>(k)] = "base";
  }
  writeDateRecord(d, rec);
}

}  // namespace tavrin::test
