// Figures for the stock-list update: reading a listed-issues workbook of
// 4,000 stocks (and 400 funds) written by xlwt, and the update of the three
// price databases: the first one (every stock new), a dry run, and a second
// one with renames, moves and delisted codes.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "app/setup.h"
#include "base/log.h"
#include "stocklist/listed_issues.h"
#include "stocklist/stock_list_update.h"

using namespace tavrin;
using Clock = std::chrono::steady_clock;

namespace {

double since(Clock::time_point t) { return std::chrono::duration<double>(Clock::now() - t).count(); }

// Writes the exchange's layout with xlwt (tools/write_xls.py): `stocks`
// stocks from code 1300 on; `round` 2 renames every 50th, moves every 40th
// and leaves out every 100th.
bool writeList(const std::filesystem::path& path, int stocks, int round) {
  const char* segments[] = {"プライム（内国株式）", "スタンダード（内国株式）", "グロース（内国株式）"};
  std::string json = "{\"path\": \"" + path.string() +
                     "\", \"sheets\": [{\"name\": \"Sheet1\", \"rows\": [[\"日付\", \"コード\", \"銘柄名\", "
                     "\"市場・商品区分\", \"33業種コード\", \"33業種区分\", \"17業種コード\", \"17業種区分\", "
                     "\"規模コード\", \"規模区分\"]";
  for (int i = 0; i < stocks + 400; ++i) {
    const bool fund = i >= stocks;
    if (!fund && round == 2 && i % 100 == 99) continue;
    const int code = 1300 + i * 2;
    std::string name = std::string(fund ? "ファンド" : "銘柄") + std::to_string(i);
    if (!fund && round == 2 && i % 50 == 0) name += "ホールディングス";
    int segment = i % 3;
    if (!fund && round == 2 && i % 40 == 0) segment = (segment + 1) % 3;
    const std::string section = fund ? "ETF・ETN" : segments[segment];
    json += ",\n[20261130, " + std::to_string(code) + ", \"" + name + "\", \"" + section +
            "\", \"3700\", \"輸送用機器\", \"6\", \"自動車・輸送機\", \"7\", \"TOPIX Small 2\"]";
  }
  json += "]}]}";
  const std::filesystem::path request = path.string() + ".json";
  {
    std::ofstream out(request, std::ios::binary);
    out << json;
  }
  const std::filesystem::path script = std::filesystem::path(TAVRIN_SOURCE_DIR) / "tools" / "write_xls.py";
  const std::string command = "/usr/bin/python3 '" + script.string() + "' < '" + request.string() + "'";
  const bool ok = std::system(command.c_str()) == 0;
  std::filesystem::remove(request);
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  setLogQuiet(true);
  const int stocks = argc > 1 ? std::atoi(argv[1]) : 4000;
  const auto dir = std::filesystem::temp_directory_path() / ("tavrin-bench-stocks-" + std::to_string(::getpid()));
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  const Paths paths(dir);
  initStandardFiles(paths);
  const auto first = dir / "data_j.xls", second = dir / "data_j2.xls";
  if (!writeList(first, stocks, 1) || !writeList(second, stocks, 2)) {
    std::fprintf(stderr, "cannot write the workbooks (python3-xlwt)\n");
    return 1;
  }
  const auto targets = standardStockListTargets(paths);

  auto t = Clock::now();
  const ListedIssues issues = readListedIssues(first);
  std::printf("read %s (%.0f KB): %zu rows, %zu stocks: %.3f s\n", first.filename().c_str(),
              static_cast<double>(std::filesystem::file_size(first)) / 1024, issues.rows, issues.issues.size(),
              since(t));

  StockListUpdateOptions dry;
  dry.dryRun = true;
  t = Clock::now();
  StockListOutcome o = updateStockLists(targets, issues, dry);
  std::printf("dry run, three databases: %.3f s (%zu would be added to each)\n", since(t),
              o.done() ? o.reports[0].added.size() : 0);

  t = Clock::now();
  o = updateStockLists(targets, issues, {});
  std::printf("first update, three databases: %.3f s (%zu added to each)%s\n", since(t),
              o.done() ? o.reports[0].added.size() : 0, o.done() ? "" : " FAILED");

  t = Clock::now();
  const ListedIssues next = readListedIssues(second);
  StockListUpdateOptions remove;
  remove.removeMissing = true;
  o = updateStockLists(targets, next, remove);
  std::printf("second update with the file read, three databases: %.3f s (%zu updated, %zu removed in each)%s\n",
              since(t), o.done() ? o.reports[0].updated.size() : 0, o.done() ? o.reports[0].missing.size() : 0,
              o.done() ? "" : " FAILED");
  std::filesystem::remove_all(dir);
  return 0;
}
