#pragma once
#include <QHash>
#include <QLabel>
#include <string>
#include <utility>
#include <vector>

#include "screening/screening_session.h"
#include "ui/common/clickable_label.h"
#include "ui/common/form_window.h"

class QLineEdit;
class QPushButton;

namespace tavrin::ui {

class FlexGrid;

// Screening window (Form6): one universe of the open price database, its
// pattern buttons, searches, sorts, chart links and watch-list buttons. The
// work is done by its ScreeningSession; the window turns the user's actions
// into the session's and shows the session's rows, titles and pattern.
class ScreeningWindow : public FormWindow {
  Q_OBJECT
 public:
  explicit ScreeningWindow(AppContext& ctx);

  FlexGrid* grid() const { return grid_; }       // MSFlexGrid1
  DataView& data1() { return session_.view(); }  // Data1
  const screening::ScreeningSession& session() const { return session_; }

  // Sets Data1's query (parameters bound), refreshes it and reloads the grid
  // with redraw off. False when the query failed: the grid keeps its rows.
  bool requery(const std::string& sql, const std::vector<Value>& params = {});
  // "抽出": the listed codes of the universe, largest ratio1 first.
  void extract(const std::vector<std::string>& codes);
  // Retitles after a refresh: date titles, ratio titles by unit, count.
  void hi_title();
  // Code and market of the stock in the current grid row (Text1, Text2).
  QString selectedCode() const;
  QString selectedMarket() const;

  // Runs every time the window is shown: universe from selectorCode.
  void load();

  // The pattern button of a control name (tests, benchmarks).
  QPushButton* patternButton(const QString& name) const { return patternButtons_.value(name); }

  // How many stocks of the loaded universe a pattern button lists (-1 before
  // any universe was loaded or when it could not be read).
  int patternCount(const QString& control) const { return session_.patternCount(control.toStdString()); }
  // The pattern whose condition the grid shows now (empty after a load,
  // search, restore or extraction).
  QString currentPattern() const;
  // "caption: N 件" of the current pattern.
  QString patternStatusText() const;

 protected:
  void showEvent(QShowEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void buildControls();
  void buildPatternPanel();
  void layoutToHeight();
  ClickableLabel* makeLink(const QString& name, const QString& caption, int x, int y);
  void patternClicked(const screening::ScreeningPattern& pattern, QPushButton* button);
  // The session takes the universe from the shared state, unit word and
  // dates from the main menu's date grid.
  void followSharedState();
  void followMainMenu();
  // The grid takes the session's rows (titles the field names) or its order.
  void showSessionRows();
  void showSessionOrder();
  // After a query other than a pattern's went through: no button is framed,
  // the grid lists the rows.
  void listedWithoutPattern();
  void resetPatternColours();
  // Counts of every pattern button over the universe as loaded.
  void showPatternCounts();
  // A pattern button's look: design colour or #FFFF80 once pressed, the
  // current pattern framed, a pattern without hits dimmed, its count below the caption.
  void stylePatternButton(const QString& control);
  void openBacktest();
  void updateCount();
  void cellEntered();
  void sortPrepare();        // Command1 "並替え準備"
  void sortExecute();        // Command13 "並変え実行"
  void restoreUniverse();    // Command10 "元に戻す"
  void searchByName();       // Command34 "銘柄で探す"
  void searchByCode();       // Command33 "コードで探す"
  void ratioHelp();          // Label10 "Delta Percent ？"
  void movingAverageHelp();  // Command78 "？"
  void closeWindow();        // Command5 "OK"

  screening::ScreeningSession session_;
  FlexGrid* grid_ = nullptr;
  QLineEdit* text1_ = nullptr;  // code of the selected stock
  QLineEdit* text2_ = nullptr;  // market of the selected stock
  QLineEdit* text3_ = nullptr;  // unit word
  QLineEdit* text7_ = nullptr;  // count
  bool settingCount_ = false;
  std::vector<std::pair<QWidget*, int>> bottomControls_;  // with their distance from the bottom strip's top
  QHash<QString, QPushButton*> patternButtons_;
  QHash<QString, bool> patternPressed_;
  QString framedPattern_;  // the button drawn as the session's current pattern
  QLabel* patternStatus_ = nullptr;
};

}  // namespace tavrin::ui
