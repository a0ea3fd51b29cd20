// Figures for the companion transfer and the backup copy: core transfer with
// and without a progress callback, the window's transfer (counter painted
// while it runs), a lookup per row instead of the code index for
// comparison, and the snapshot copy of a price database.
#include <QApplication>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <random>

#include "app/paths.h"
#include "app/prompts.h"
#include "base/log.h"
#include "data/database.h"
#include "data/price_schema.h"
#include "exchange/companion.h"
#include "ui/app/app_context.h"
#include "ui/app/main_menu_window.h"
#include "ui/exchange/transfer_window.h"
#include "utilities/backup.h"

using namespace tavrin;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

double msSince(Clock::time_point t0) { return std::chrono::duration<double, std::milli>(Clock::now() - t0).count(); }

void fill(const fs::path& sender, const fs::path& companion, int n) {
  createPriceDatabase(sender, "day");
  createCompanionDatabase(companion);
  std::mt19937 rng(7);
  Database s(sender);
  Database c(companion);
  Transaction ts(s);
  Transaction tc(c);
  Statement is(s,
               "insert into [list] ([銘柄],[コード],[市場],[単位],[kabuka1],[kabuka2],[kabuka3],[kabuka4],"
               "[kabuka5],[kabuka6],[kabuka7],[kabuka8],[kabuka9],[kabuka10]) "
               "values (?,?,'東証１部',100,?,?,?,?,?,?,?,?,?,?)");
  Statement ic(c, "insert into [list] ([コード],[銘柄]) values (?,?)");
  std::vector<int> codes(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) codes[static_cast<size_t>(i)] = 1301 + i;
  for (int code : codes) {
    is.bind(1, "銘柄" + std::to_string(code));
    is.bind(2, code);
    for (int k = 0; k < 10; ++k) is.bind(k + 3, static_cast<int>(rng() % 50000));
    is.step();
    is.reset();
  }
  std::shuffle(codes.begin(), codes.end(), rng);  // the companion lists them in its own order
  for (int code : codes) {
    ic.bind(1, code);
    ic.bind(2, "c" + std::to_string(code));
    ic.step();
    ic.reset();
  }
  ts.commit();
  tc.commit();
}

// The way a search per companion row would do it, for comparison.
double perRowSearchMs(const fs::path& sender, const fs::path& companion) {
  auto t0 = Clock::now();
  Database s(sender, Database::Mode::ReadOnly);
  Database c(companion);
  Transaction tx(c);
  QueryResult rows = c.query("select rowid, [コード] from [list] order by rowid");
  Statement find(s,
                 "select [kabuka1],[kabuka2],[kabuka3],[kabuka4],[kabuka5],[kabuka6],[kabuka7],[kabuka8],"
                 "[kabuka9],[kabuka10] from [list] where [コード] = ? order by rowid limit 1");
  Statement upd(c,
                "update [list] set [kabuka1]=?,[kabuka2]=?,[kabuka3]=?,[kabuka4]=?,[kabuka5]=?,[kabuka6]=?,"
                "[kabuka7]=?,[kabuka8]=?,[kabuka9]=?,[kabuka10]=? where rowid = ?");
  for (const Row& r : rows.rows) {
    find.bind(1, r[1]);
    if (find.step()) {
      for (int k = 0; k < 10; ++k) upd.bind(k + 1, find.column(k));
      upd.bind(11, r[0]);
      upd.step();
      upd.reset();
    }
    find.reset();
  }
  tx.commit();
  return msSince(t0);
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  setLogQuiet(true);
  const fs::path root = fs::temp_directory_path() / ("tavrin-exchange-bench-" + std::to_string(::getpid()));
  fs::create_directories(root);
  Paths paths(root);

  std::printf("companion transfer (rows = stocks in both lists), best of 3, ms\n");
  std::printf("%8s %12s %14s %12s %16s\n", "rows", "core", "core+progress", "window", "search per row");
  for (int n : {4000, 40000}) {
    fs::remove(paths.dailyDb());
    fs::remove(paths.companionDaily());
    fill(paths.dailyDb(), paths.companionDaily(), n);
    double core = 1e18, withProgress = 1e18, window = 1e18;
    for (int rep = 0; rep < 3; ++rep) {
      auto t0 = Clock::now();
      TransferOutcome r = transferToCompanion(paths.dailyDb(), paths.companionDaily());
      core = std::min(core, msSince(t0));
      if (!r.done() || r.copied != static_cast<size_t>(n)) std::printf("unexpected result\n");
      size_t last = 0;
      t0 = Clock::now();
      transferToCompanion(paths.dailyDb(), paths.companionDaily(),
                          [&](const TransferProgress& p) { last = p.counted; });
      withProgress = std::min(withProgress, msSince(t0));
    }
    {
      ScriptedPrompts prompts;
      ui::AppContext ctx(paths, prompts);
      ctx.mainMenu().setPathBox(QString::fromStdString(toUtf8(paths.dailyDb())));
      ctx.mainMenu().activate();
      ui::TransferWindow& w = ctx.transfer();
      w.show();
      w.setModeKeyword("day");
      w.activate();
      for (int rep = 0; rep < 3; ++rep) {
        w.activate();
        auto t0 = Clock::now();
        w.Label4_Click();
        window = std::min(window, msSince(t0));
      }
    }
    const double naive = n <= 4000 ? perRowSearchMs(paths.dailyDb(), paths.companionDaily()) : -1;
    std::printf("%8d %12.1f %14.1f %12.1f %16s\n", n, core, withProgress, window,
                naive < 0 ? "(skipped)" : std::to_string(static_cast<int>(naive)).c_str());
  }

  std::printf("\nbackup snapshot copy, ms\n");
  for (int n : {4000, 40000}) {
    fs::remove(paths.dailyDb());
    fs::remove(paths.companionDaily());
    fill(paths.dailyDb(), paths.companionDaily(), n);
    makeBackupFolder(paths, "day");
    auto t0 = Clock::now();
    BackupOutcome r = makeBackup(paths, "day", "bench" + std::to_string(n));
    const double ms = msSince(t0);
    std::printf("%8d rows  %8.1f ms  %8.1f MB  %s\n", n, ms, fs::file_size(paths.dailyDb()) / 1048576.0,
                r.done() ? "copied" : "FAILED");
  }
  fs::remove_all(root);
  return 0;
}
