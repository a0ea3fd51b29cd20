#include "ui/app/app_context.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QUrl>

#include "base/calendar.h"
#include "ui/app/chooser_window.h"
#include "ui/app/file_select_window.h"
#include "ui/app/main_menu_window.h"
#include "ui/backtest/backtest_window.h"
#include "ui/chart/chart_window.h"
#include "ui/common/flex_grid.h"
#include "ui/datafetch/data_fetch_window.h"
#include "ui/exchange/transfer_window.h"
#include "ui/history/history_import_window.h"
#include "ui/registration/list_browser_window.h"
#include "ui/registration/registration_window.h"
#include "ui/screening/screening_window.h"
#include "ui/settings/settings_window.h"
#include "ui/splits/splits_window.h"
#include "ui/stocklist/stock_list_window.h"
#include "ui/utilities/backup_window.h"
#include "ui/utilities/memo_window.h"
#include "ui/watchlists/watch_list_windows.h"

namespace tavrin::ui {

AppContext::AppContext(Paths paths, Prompts& prompts) : paths_(std::move(paths)), prompts_(prompts) {
  openFileDialog = [](QWidget* owner, const std::string& filterTitle, const std::string& pattern,
                      const std::string& dialogTitle) -> std::string {
    QString filter = QString::fromStdString(filterTitle);
    Q_UNUSED(pattern);
    QFileDialog dialog(owner, QString::fromStdString(dialogTitle));
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setNameFilter(filter);
    dialog.setOption(QFileDialog::ReadOnly, false);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return QFileInfo(dialog.selectedFiles().front()).absoluteFilePath().toStdString();
  };
  saveFileDialog = qtSaveFileDialog;
  openUrl = [](const std::string& url) { return QDesktopServices::openUrl(QUrl(QString::fromStdString(url))); };
  now = localNow;
  quit = [] { QApplication::quit(); };
}

template <class W>
W& AppContext::ensure(QPointer<W>& slot) {
  if (!slot) slot = new W(*this);
  return *slot;
}

ChooserWindow& AppContext::chooser() { return ensure(chooser_); }
MainMenuWindow& AppContext::mainMenu() { return ensure(mainMenu_); }
FileSelectWindow& AppContext::fileSelect() { return ensure(fileSelect_); }
MemoWindow& AppContext::memo() { return ensure(memo_); }
BackupWindow& AppContext::backup() { return ensure(backup_); }
ScreeningWindow& AppContext::screening() { return ensure(screening_); }
RegistrationWindow& AppContext::registration() { return ensure(registration_); }
ListBrowserWindow& AppContext::listBrowser() { return ensure(listBrowser_); }
InterestListWindow& AppContext::interestList() { return ensure(interestList_); }
TrendListWindow& AppContext::trendList() { return ensure(trendList_); }
TransferWindow& AppContext::transfer() { return ensure(transfer_); }
StockListWindow& AppContext::stockList() { return ensure(stockList_); }
ChartWindow& AppContext::chart() { return ensure(chart_); }
HistoryImportWindow& AppContext::historyImport() { return ensure(historyImport_); }
BacktestWindow& AppContext::backtest() { return ensure(backtest_); }
SplitsWindow& AppContext::splits() { return ensure(splits_); }
SettingsWindow& AppContext::settings() { return ensure(settings_); }
DataFetchWindow& AppContext::dataFetch() { return ensure(dataFetch_); }

bool AppContext::isLoaded(const FormWindow* w) const {
  for (const FormWindow* p :
       {static_cast<const FormWindow*>(chooser_.data()), static_cast<const FormWindow*>(mainMenu_.data()),
        static_cast<const FormWindow*>(fileSelect_.data()), static_cast<const FormWindow*>(memo_.data()),
        static_cast<const FormWindow*>(backup_.data()), static_cast<const FormWindow*>(screening_.data()),
        static_cast<const FormWindow*>(registration_.data()), static_cast<const FormWindow*>(listBrowser_.data()),
        static_cast<const FormWindow*>(interestList_.data()), static_cast<const FormWindow*>(trendList_.data()),
        static_cast<const FormWindow*>(transfer_.data()), static_cast<const FormWindow*>(stockList_.data()),
        static_cast<const FormWindow*>(chart_.data()), static_cast<const FormWindow*>(historyImport_.data()),
        static_cast<const FormWindow*>(backtest_.data()), static_cast<const FormWindow*>(splits_.data()),
        static_cast<const FormWindow*>(settings_.data()), static_cast<const FormWindow*>(dataFetch_.data())})
    if (p && p == w) return true;
  return false;
}

bool AppContext::memoLoaded() const { return !memo_.isNull(); }
bool AppContext::screeningLoaded() const { return !screening_.isNull(); }
bool AppContext::transferLoaded() const { return !transfer_.isNull(); }
bool AppContext::listBrowserLoaded() const { return !listBrowser_.isNull(); }

void AppContext::unload(FormWindow* w) {
  if (!w) return;
  w->hide();
  // Forget it at once so the next reference builds a fresh window.
  if (w == chooser_)
    chooser_ = nullptr;
  else if (w == mainMenu_)
    mainMenu_ = nullptr;
  else if (w == fileSelect_)
    fileSelect_ = nullptr;
  else if (w == memo_)
    memo_ = nullptr;
  else if (w == backup_)
    backup_ = nullptr;
  else if (w == screening_)
    screening_ = nullptr;
  else if (w == registration_)
    registration_ = nullptr;
  else if (w == listBrowser_)
    listBrowser_ = nullptr;
  else if (w == interestList_)
    interestList_ = nullptr;
  else if (w == trendList_)
    trendList_ = nullptr;
  else if (w == transfer_)
    transfer_ = nullptr;
  else if (w == stockList_)
    stockList_ = nullptr;
  else if (w == chart_)
    chart_ = nullptr;
  else if (w == historyImport_)
    historyImport_ = nullptr;
  else if (w == backtest_)
    backtest_ = nullptr;
  else if (w == splits_)
    splits_ = nullptr;
  else if (w == settings_)
    settings_ = nullptr;
  else if (w == dataFetch_)
    dataFetch_ = nullptr;
  w->deleteLater();
}

void AppContext::unloadAll() {
  FormWindow* all[] = {dataFetch_, settings_, splits_,    backtest_,     historyImport_, chart_,
                       stockList_, transfer_, trendList_, interestList_, listBrowser_,   registration_,
                       screening_, backup_,   memo_,      fileSelect_,   chooser_,       mainMenu_};
  for (FormWindow* w : all)
    if (w) unload(w);
}

AppContext::~AppContext() {
  FormWindow* all[] = {dataFetch_, settings_, splits_,    backtest_,     historyImport_, chart_,
                       stockList_, transfer_, trendList_, interestList_, listBrowser_,   registration_,
                       screening_, backup_,   memo_,      fileSelect_,   chooser_,       mainMenu_};
  for (FormWindow* w : all) delete w;
}

std::string AppContext::dateGridText(int col) {
  if (!mainMenu_) return {};
  FlexGrid* g = mainMenu_->dateGrid();
  if (!g || g->rows() < 2) return {};
  return g->textMatrix(1, col).toStdString();
}

}  // namespace tavrin::ui
