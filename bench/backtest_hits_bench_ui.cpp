// A backtest window (offscreen, 1366×768) over a price history of 2,500
// random-walk stocks × 2,300 days, a pattern of about a million hits (U1)
// listed in its hit grid, then that list sorted and saved as .xlsx and CSV. Prints the
// memory of the process (resident, and the peak of each step: the kernel's
// high-water mark is reset before it) and the seconds each step takes:
//   - the window before a run, after the run, after the list is shown: what
//     the list costs is the growth over the window before it;
//   - each save: seconds, the peak over what the process held before it, the
//     file's size.
// The database is written once into the temporary folder and kept for the
// next run (writing it takes a while): remove tavrin-hits-bench there to
// make it again.
//
//   backtest_hits_bench_ui [--stocks N] [--days N] [--pattern CONTROL]
#include <QApplication>
#include <QCoreApplication>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "app/prompts.h"
#include "base/calendar.h"
#include "base/log.h"
#include "data/price_schema.h"
#include "history/price_history.h"
#include "screening/pattern_catalogue.h"
#include "ui/app/app_context.h"
#include "ui/backtest/backtest_window.h"
#include "ui/common/flex_grid.h"

using namespace tavrin;
using Clock = std::chrono::steady_clock;

namespace {

double seconds(Clock::time_point t0) { return std::chrono::duration<double>(Clock::now() - t0).count(); }

// A line of /proc/self/status in megabytes ("VmRSS", "VmHWM").
double statusMb(const char* key) {
  std::ifstream in("/proc/self/status");
  std::string line;
  const std::string prefix = std::string(key) + ":";
  while (std::getline(in, line))
    if (line.rfind(prefix, 0) == 0) return std::stod(line.substr(prefix.size())) / 1024.0;
  return 0;
}
double rssMb() { return statusMb("VmRSS"); }
double peakMb() { return statusMb("VmHWM"); }
// Starts the peak over from what the process holds now.
void resetPeak() { std::ofstream("/proc/self/clear_refs") << "5"; }

void settle() {
  for (int i = 0; i < 3; ++i) {
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }
}

// Closes of random walks on weekdays from 2010 on; a few in a hundred days
// a stock has none.
void writeDatabase(const std::filesystem::path& db, int stocks, int days) {
  createPriceDatabase(db, "day");
  Database d(db);
  Transaction tx(d);
  static const char* markets[] = {"東証プライム", "東証スタンダード", "東証グロース"};
  for (int s = 0; s < stocks; ++s)
    d.execute("insert into [list] ([銘柄],[コード],[市場],[単位]) values (?,?,?,100)",
              {Value("銘柄" + std::to_string(1300 + s) + "ホールディングス"),
               historyCodeValue(std::to_string(1300 + s)), Value(markets[s % 3])});
  std::vector<int> calendar;
  for (int day = *dayFromCivil(2010, 1, 4); static_cast<int>(calendar.size()) < days; ++day) {
    const int weekday = ((day % 7) + 7 + 4) % 7;
    if (weekday != 0 && weekday != 6) calendar.push_back(day);
  }
  std::mt19937 rng(7);
  HistoryWriter w(d);
  for (int s = 0; s < stocks; ++s) {
    const Value code = historyCodeValue(std::to_string(1300 + s));
    double price = 200 + rng() % 5000;
    for (int day : calendar) {
      price *= 1 + (static_cast<int>(rng() % 81) - 40) / 1000.0;
      price = std::max(price, 20.0);
      if (rng() % 100 < 2) continue;
      w.putClose(code, day, static_cast<std::int64_t>(price));
    }
  }
  w.flush();
  tx.commit();
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  int stocks = 2500, days = 2300;
  std::string pattern = "Command76";  // U1
  for (int i = 1; i + 1 < argc; i += 2) {
    if (!std::strcmp(argv[i], "--stocks")) stocks = std::atoi(argv[i + 1]);
    if (!std::strcmp(argv[i], "--days")) days = std::atoi(argv[i + 1]);
    if (!std::strcmp(argv[i], "--pattern")) pattern = argv[i + 1];
  }
  QApplication app(argc, argv);
  setLogQuiet(true);
  const std::filesystem::path root = std::filesystem::temp_directory_path() / "tavrin-hits-bench";
  const std::filesystem::path data = root / (std::to_string(stocks) + "x" + std::to_string(days));
  const std::filesystem::path db = data / "kabuka.mdb";
  std::filesystem::create_directories(data);
  if (!std::filesystem::exists(db)) {
    const auto t0 = Clock::now();
    std::filesystem::remove(db.string() + ".part");
    writeDatabase(db.string() + ".part", stocks, days);
    std::filesystem::rename(db.string() + ".part", db);
    std::printf("database of %d stocks × %d days written in %.1f s\n", stocks, days, seconds(t0));
  }

  ScriptedPrompts prompts;
  ui::AppContext ctx{Paths(data), prompts};
  std::string savePath;
  int saveFilter = 0;
  ctx.saveFileDialog = [&](QWidget*, const ui::SaveFileRequest&) {
    return std::optional<ui::SaveFileChoice>(ui::SaveFileChoice{savePath, saveFilter});
  };
  ui::BacktestWindow& w = ctx.backtest();
  w.resize(1366, 740);
  w.show();
  settle();
  const double before = rssMb();
  std::printf("window before the run:        %7.1f MB resident\n", before);

  resetPeak();
  auto t0 = Clock::now();
  w.openFor(1, toUtf8(db), {}, "day");
  if (!w.waitForRun(3600 * 1000)) return 1;
  settle();
  const double run = seconds(t0);
  const double afterRun = rssMb();
  long long hits = 0;
  const ui::FlexGrid* summary = w.summaryGrid();
  for (int c = 1; c < summary->cols(); ++c)
    if (summary->textMatrix(0, c) == QStringLiteral("ヒット"))
      for (int r = 1; r < summary->rows(); ++r) hits += summary->textMatrix(r, c).toLongLong();
  std::printf("after the run (%5.1f s):       %7.1f MB resident (+%.1f), peak %.1f MB; %lld hits of all patterns\n",
              run, afterRun, afterRun - before, peakMb(), hits);

  resetPeak();
  t0 = Clock::now();
  if (!w.showPattern(QString::fromStdString(pattern))) {
    std::printf("no pattern %s\n", pattern.c_str());
    return 1;
  }
  settle();
  const double shown = seconds(t0);
  ui::FlexGrid* grid = w.hitGrid();
  const int rows = grid->rows() - 1;
  const double afterList = rssMb();
  std::printf("%s listed, %d hits (%.2f s): %7.1f MB resident, the list +%.1f MB, peak +%.1f MB\n", pattern.c_str(),
              rows, shown, afterList, afterList - afterRun, peakMb() - afterRun);

  // A title click sorts (the date column the other way round, then the closes).
  for (int col : {1, 5}) {
    resetPeak();
    const double held = rssMb();
    t0 = Clock::now();
    emit grid->headerClicked(col);
    settle();
    std::printf("sorted by %-4s %.2f s, peak +%.1f MB, first row %s / %s\n",
                grid->textMatrix(0, col).toStdString().c_str(), seconds(t0), peakMb() - held,
                grid->textMatrix(1, 1).toStdString().c_str(), grid->textMatrix(1, 5).toStdString().c_str());
  }

  for (const auto& [name, filter] : {std::pair{"hits.xlsx", 2}, std::pair{"hits.csv", 0}}) {
    savePath = toUtf8(root / name);
    saveFilter = filter;
    settle();
    const double held = rssMb();
    resetPeak();
    t0 = Clock::now();
    const bool saved = grid->saveAs();
    const double took = seconds(t0);
    const double peak = peakMb();
    std::error_code ec;
    const auto size = std::filesystem::file_size(root / name, ec);
    std::printf("saved %-9s %s in %5.1f s: peak %.1f MB, +%.1f MB over the %.1f MB held; file %.1f MB\n", name,
                saved ? "" : "(FAILED)", took, peak, peak - held, held, static_cast<double>(size) / 1e6);
    std::filesystem::remove(root / name, ec);
  }
  return 0;
}
