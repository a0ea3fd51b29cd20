// Figures for the watch lists: building and running the watched-universe and
// extraction queries over long lists, the repeated-code scan, and appends.
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include <unistd.h>

#include "data/database.h"
#include "data/price_schema.h"
#include "screening/extraction.h"
#include "watchlists/watch_list_store.h"
#include "watchlists/watch_query.h"

using namespace tavrin;
using Clock = std::chrono::steady_clock;

namespace {

double msSince(Clock::time_point t) { return std::chrono::duration<double, std::milli>(Clock::now() - t).count(); }

}  // namespace

int main() {
  const auto dir = std::filesystem::temp_directory_path() / ("tavrin-bench-watch-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  const auto prices = dir / "kabuka.mdb";
  const auto lists = dir / "kabulist.mdb";
  const int stocks = 4000;
  createPriceDatabase(prices, "day");
  {
    Database db(prices);
    Transaction tx(db);
    for (int i = 0; i < stocks; ++i)
      db.execute("insert into [list] ([銘柄],[コード],[市場],[単位],[kabuka1],[kabuka2]) values (?,?,?,?,?,?)",
                 {std::string("株") + std::to_string(i), 1300 + i * 2, std::string("東証１部"), 100, 1000 + i % 97,
                  1000 + i % 89});
    tx.commit();
  }
  std::printf("price table: %d stocks\n", stocks);

  for (int n : {100, 150, 151, 500, 2000}) {
    std::vector<std::string> codes;
    for (int i = 0; i < n; ++i) codes.push_back(std::to_string(1300 + i * 4));
    auto t = Clock::now();
    std::string q;
    for (int k = 0; k < 100; ++k) q = watchListQuery(codes);
    const double build = msSince(t) / 100;
    Database db(prices, Database::Mode::ReadOnly);
    t = Clock::now();
    QueryResult r = db.query(q);
    const double runWatch = msSince(t);
    t = Clock::now();
    QueryResult e = db.query(extractionQuery(universeQuery(2), 2, codes));
    sortByRatio1Descending(e);
    const double runExtract = msSince(t);
    std::printf("%5d codes: build %.3f ms, watched universe %.1f ms (%zu rows), extraction+sort %.1f ms (%zu rows)\n",
                n, build, runWatch, r.rows.size(), runExtract, e.rows.size());
  }

  prepareWatchListDatabase(lists);
  auto t = Clock::now();
  const int adds = 300;
  for (int i = 0; i < adds; ++i)
    addWatchStock(lists, WatchList::Trend, {std::to_string(1300 + (i % 250) * 2), "株", "東証１部", "100", "26/12/09"});
  std::printf("append to trend: %.2f ms per stock (%d appends, one transaction each)\n", msSince(t) / adds, adds);

  std::vector<std::pair<std::string, std::int64_t>> rows;
  for (int i = 0; i < 5000; ++i) rows.emplace_back(std::to_string(9000 - i), i + 1);
  rows.emplace_back("130A", 6000);
  rows.emplace_back("4001", 6001);
  t = Clock::now();
  auto dup = firstDuplicateId(rows);
  std::printf("repeated-code scan over %zu rows: %.2f ms (found ID %lld)\n", rows.size(), msSince(t),
              dup ? static_cast<long long>(*dup) : -1LL);

  std::filesystem::remove_all(dir);
  return 0;
}
