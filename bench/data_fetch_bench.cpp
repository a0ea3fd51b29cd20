// One day of the data service for 4,400 stocks, from a saved answer (the
// documented layout: Date, Code, O, H, L, C, Vo, Va, UL, LL, AdjFactor and
// the adjusted columns, in pages of 1,000 rows): reading the answer (JSON, the
// rows) and storing it into a daily database with a year of history.
// data_fetch_bench [--stocks N] [--runs N]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <string>
#include <vector>

#include "base/calendar.h"
#include "base/log.h"
#include "data/database.h"
#include "data/price_schema.h"
#include "datafetch/data_fetch.h"
#include "datafetch/jquants_api.h"
#include "history/price_history.h"

using namespace tavrin;
using Clock = std::chrono::steady_clock;

namespace {

double ms(Clock::time_point since) { return std::chrono::duration<double, std::milli>(Clock::now() - since).count(); }

// Answers from the saved pages, in order.
class SavedAnswers : public HttpClient {
 public:
  std::vector<std::string> pages;
  std::size_t next = 0;
  HttpResponse get(const HttpRequest&) override {
    HttpResponse r;
    r.status = 200;
    r.body = pages[next++ % pages.size()];
    return r;
  }
};

std::string code5(int i) { return std::to_string(1300 + i) + "0"; }

}  // namespace

int main(int argc, char** argv) {
  int stocks = 4400, runs = 9;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (!std::strcmp(argv[i], "--stocks")) stocks = std::atoi(argv[i + 1]);
    if (!std::strcmp(argv[i], "--runs")) runs = std::atoi(argv[i + 1]);
  }
  setLogQuiet(true);
  const std::filesystem::path dir = std::filesystem::temp_directory_path() / "tavrin-data-fetch-bench";
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  const std::filesystem::path file = dir / "kabuka.mdb";
  createPriceDatabase(file, "day");
  const int first = *dayFromCivil(2025, 12, 1);
  std::vector<int> days;
  for (int d = first; days.size() < 250 + static_cast<std::size_t>(runs); ++d)
    if ((d + 4) % 7 != 0 && (d + 4) % 7 != 6) days.push_back(d);
  {
    Database db(file);
    Transaction tx(db);
    Statement add(db, "insert into [list] ([銘柄], [コード], [市場], [単位]) values ('銘柄', ?, '東証プライム', 100)");
    for (int i = 0; i < stocks; ++i) {
      add.reset();
      add.bind(1, Value(static_cast<std::int64_t>(1300 + i)));
      add.step();
    }
    HistoryWriter w(db);
    for (int i = 0; i < stocks; ++i)
      for (std::size_t k = 0; k < 250; ++k) {
        Bar b;
        b.day = days[k];
        b.close = 10000 + static_cast<std::int32_t>(k);
        b.open = b.close - 5;
        b.high = b.close + 20;
        b.low = b.close - 20;
        b.volume = 100000;
        w.put(Value(static_cast<std::int64_t>(1300 + i)), b);
      }
    w.flush();
    tx.commit();
  }

  double readBest = 1e9, storeBest = 1e9, bothBest = 1e9;
  std::size_t bytes = 0;
  for (int run = 0; run < runs; ++run) {
    const int day = days[250 + static_cast<std::size_t>(run)];
    // The saved answer of the day, in pages of 1,000 rows.
    SavedAnswers http;
    const std::string date = isoDate(day);
    for (int p = 0; p * 1000 < stocks; ++p) {
      std::string body = "{\"data\": [";
      for (int i = p * 1000; i < std::min(stocks, (p + 1) * 1000); ++i) {
        const double c = 1000.5 + i % 700;
        char row[512];
        std::snprintf(row, sizeof row,
                      "%s{\"Date\": \"%s\", \"Code\": \"%s\", \"O\": %.1f, \"H\": %.1f, \"L\": %.1f, \"C\": %.1f, "
                      "\"UL\": \"0\", \"LL\": \"0\", \"Vo\": %d.0, \"Va\": %.1f, \"AdjFactor\": 1.0, \"AdjO\": %.1f, "
                      "\"AdjH\": %.1f, \"AdjL\": %.1f, \"AdjC\": %.1f, \"AdjVo\": %d.0}",
                      i % 1000 ? ", " : "", date.c_str(), code5(i).c_str(), c - 5, c + 10, c - 10, c, 120000 + i,
                      c * (120000 + i), c - 5, c + 10, c - 10, c, 120000 + i);
        body += row;
      }
      body += "]";
      if ((p + 1) * 1000 < stocks) body += ", \"pagination_key\": \"page" + std::to_string(p + 1) + "\"";
      body += "}";
      http.pages.push_back(std::move(body));
    }
    bytes = 0;
    for (const std::string& p : http.pages) bytes += p.size();
    datafetch::JQuantsApi api(http, {"https://api.example.test/v2", "key"});
    Database db(file);
    const auto codes = listCodes(db);
    const Clock::time_point t0 = Clock::now();
    std::vector<datafetch::DailyRow> rows;
    if (!api.dailyBars(day, rows).done() || rows.size() != static_cast<std::size_t>(stocks)) {
      std::fprintf(stderr, "the saved answer was not read\n");
      return 1;
    }
    const double read = ms(t0);
    const Clock::time_point t1 = Clock::now();
    std::vector<Split> splits;
    const datafetch::FetchDayReport rep = datafetch::storeServiceDay(db, codes, day, rows, splits);
    const double store = ms(t1);
    if (rep.stocks != static_cast<std::size_t>(stocks)) {
      std::fprintf(stderr, "stored %zu of %d\n", rep.stocks, stocks);
      return 1;
    }
    readBest = std::min(readBest, read);
    storeBest = std::min(storeBest, store);
    bothBest = std::min(bothBest, read + store);
  }
  std::printf("one day of %d stocks from a saved answer (%.1f MB in %d pages), into a history of 250 days:\n", stocks,
              static_cast<double>(bytes) / 1e6, (stocks + 999) / 1000);
  std::printf("  reading the answer: %.1f ms; storing the day: %.1f ms; both: %.1f ms (best of %d)\n", readBest,
              storeBest, bothBest, runs);
  std::filesystem::remove_all(dir);
  return 0;
}
