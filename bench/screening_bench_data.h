#pragma once
// Sample price databases for the screening benchmarks.
#include <filesystem>
#include <random>
#include <string>

#include "data/database.h"
#include "data/price_schema.h"
#include "sample/demo_planting.h"

namespace tavrin::bench {

// A daily price database with `stocks` random-walk stocks plus the planted ones.
inline void makeScreeningDb(const std::filesystem::path& path, int stocks, unsigned seed = 7) {
  std::filesystem::remove(path);
  createPriceDatabase(path, "day");
  Database db(path);
  DateRecord rec = *readDateRecord(db);
  for (int i = 0; i < 10; ++i) rec.dates[static_cast<size_t>(i)] = "26/12/" + std::to_string(20 - i);
  writeDateRecord(db, rec);
  Transaction tx(db);
  Statement ins(db,
                "insert into [list] ([銘柄],[コード],[市場],[単位],[kabuka1],[kabuka2],[kabuka3],[kabuka4],[kabuka5],"
                "[kabuka6],[kabuka7],[kabuka8],[kabuka9],[kabuka10]) values (?,?,?,?,?,?,?,?,?,?,?,?,?,?)");
  static const char* markets[] = {"東証１部", "東証２部", "ジャスダック", "マザーズ", "大証１部", "名証２部"};
  static const int units[] = {1, 100, 1000, 100, 10};
  std::mt19937 rng(seed);
  auto insert = [&](const std::string& name, int code, const std::vector<std::int64_t>& prices) {
    ins.bind(1, Value(name));
    ins.bind(2, Value(code));
    ins.bind(3, Value(markets[rng() % 6]));
    ins.bind(4, Value(units[rng() % 5]));
    for (int i = 0; i < 10; ++i) ins.bind(5 + i, Value(prices[static_cast<size_t>(i)]));
    ins.step();
    ins.reset();
  };
  int code = 1300;
  for (const auto& p : patternSamplePrices()) insert("見本" + std::to_string(code), code, p), ++code;
  for (int s = 0; s < stocks; ++s) {
    std::vector<std::int64_t> p(10);
    double price = 200 + rng() % 5000;
    const double drift = (static_cast<int>(rng() % 21) - 10) / 1000.0;
    for (int i = 0; i < 10; ++i) {
      p[static_cast<size_t>(i)] = std::max<std::int64_t>(1, static_cast<std::int64_t>(price));
      price *= 1 + drift + (static_cast<int>(rng() % 61) - 30) / 1000.0;
    }
    insert("銘柄" + std::to_string(code), code, p);
    ++code;
  }
  tx.commit();
}

}  // namespace tavrin::bench
