#pragma once
#include <QPointer>
#include <ctime>
#include <functional>
#include <memory>
#include <string>

#include "app/paths.h"
#include "app/prompts.h"
#include "app/state.h"
#include "ui/common/save_file_dialog.h"

class QWidget;

namespace tavrin::ui {

class ChooserWindow;
class MainMenuWindow;
class FileSelectWindow;
class MemoWindow;
class BackupWindow;
class ScreeningWindow;
class RegistrationWindow;
class ListBrowserWindow;
class InterestListWindow;
class TrendListWindow;
class TransferWindow;
class StockListWindow;
class ChartWindow;
class HistoryImportWindow;
class BacktestWindow;
class SplitsWindow;
class SettingsWindow;
class DataFetchWindow;
class FormWindow;

// The process: shared variables, data root, prompts, the platform services
// that tests replace, and one instance of each window, created on first
// reference and kept while hidden.
class AppContext {
 public:
  AppContext(Paths paths, Prompts& prompts);
  ~AppContext();
  AppContext(const AppContext&) = delete;
  AppContext& operator=(const AppContext&) = delete;

  SharedState& state() { return state_; }
  const Paths& paths() const { return paths_; }
  Prompts& prompts() { return prompts_; }

  // Platform services.
  // Shows the open-file dialog; returns the chosen full path, empty on cancel.
  std::function<std::string(QWidget* owner, const std::string& filterTitle, const std::string& pattern,
                            const std::string& dialogTitle)>
      openFileDialog;
  // Shows the save dialog (the grids' "保存" items); nullopt on cancel.
  SaveFileDialog saveFileDialog;
  // Hands an address to the web browser; false when nothing opened it.
  std::function<bool(const std::string& url)> openUrl;
  // The local date and time now.
  std::function<std::tm()> now;
  // Ends the process (END).
  std::function<void()> quit;

  // Windows (created on first reference).
  ChooserWindow& chooser();
  MainMenuWindow& mainMenu();
  FileSelectWindow& fileSelect();
  MemoWindow& memo();
  BackupWindow& backup();
  ScreeningWindow& screening();
  RegistrationWindow& registration();
  ListBrowserWindow& listBrowser();
  InterestListWindow& interestList();
  TrendListWindow& trendList();
  TransferWindow& transfer();
  StockListWindow& stockList();
  ChartWindow& chart();
  HistoryImportWindow& historyImport();
  BacktestWindow& backtest();
  SplitsWindow& splits();
  SettingsWindow& settings();
  DataFetchWindow& dataFetch();

  // Whether a window has been created (and not unloaded since).
  bool isLoaded(const FormWindow* w) const;
  bool memoLoaded() const;
  bool screeningLoaded() const;
  bool transferLoaded() const;
  bool listBrowserLoaded() const;
  // Hides and destroys a window; the next reference creates it afresh.
  void unload(FormWindow* w);
  // Hides every window and destroys it once control returns to the event
  // loop, so a window may call this from its own handler (END).
  void unloadAll();

  // What the main menu's date grid shows: row 1, column c (empty when there
  // is no menu or no date record).
  std::string dateGridText(int col);
  // The unit word (row 1, column 12).
  std::string unitWord() { return dateGridText(12); }

 private:
  template <class W>
  W& ensure(QPointer<W>& slot);

  SharedState state_;
  Paths paths_;
  Prompts& prompts_;
  QPointer<ChooserWindow> chooser_;
  QPointer<MainMenuWindow> mainMenu_;
  QPointer<FileSelectWindow> fileSelect_;
  QPointer<MemoWindow> memo_;
  QPointer<BackupWindow> backup_;
  QPointer<ScreeningWindow> screening_;
  QPointer<RegistrationWindow> registration_;
  QPointer<ListBrowserWindow> listBrowser_;
  QPointer<InterestListWindow> interestList_;
  QPointer<TrendListWindow> trendList_;
  QPointer<TransferWindow> transfer_;
  QPointer<StockListWindow> stockList_;
  QPointer<ChartWindow> chart_;
  QPointer<HistoryImportWindow> historyImport_;
  QPointer<BacktestWindow> backtest_;
  QPointer<SplitsWindow> splits_;
  QPointer<SettingsWindow> settings_;
  QPointer<DataFetchWindow> dataFetch_;
};

}  // namespace tavrin::ui
