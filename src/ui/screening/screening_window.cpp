#include "ui/screening/screening_window.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QShowEvent>

#include "app/paths.h"
#include "base/log.h"
#include "data/price_schema.h"
#include "data/stock_code.h"
#include "screening/extraction.h"
#include "screening/pattern_catalogue.h"
#include "screening/screening_session.h"
#include "ui/app/app_context.h"
#include "ui/app/main_menu_window.h"
#include "ui/backtest/backtest_window.h"
#include "ui/chart/chart_entries.h"
#include "ui/common/file_texts.h"
#include "ui/common/flex_grid.h"
#include "ui/screening/screening_hooks.h"
#include "watchlists/watch_list_store.h"

namespace tavrin::ui {

namespace {

constexpr int kWindowWidth = 1110;
constexpr int kWindowHeight = 720;
// Pattern panel: slots of kSlot pixels from kPanelLeft, rows from the top.
constexpr int kPanelLeft = 416;
constexpr int kSlot = 34;
constexpr int kButtonHeight = 24;
constexpr int kRowTop[7] = {-36, 24, 51, 78, 105, 152, 179};  // [0]: above the visible area
constexpr int kGridTop = 210;
constexpr int kBottomHeight = 84;
// On a low screen the grid gets shorter, down to a few rows.
constexpr int kMinGridHeight = 120;

const QColor kHighlight(0xFF, 0xFF, 0x80);

QColor rgbColor(unsigned rgb) { return QColor((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF); }

int slotX(int slot) { return kPanelLeft + slot * kSlot; }

struct LinkDef {
  const char* name;
  const char* caption;
  int x, y;
};

// Above the grid, right of the sort buttons.
const LinkDef kUpperLinks[] = {
    {"HprLnkEx2", "Infoseek", 214, 8},   {"HprLnkEx15", "日経平均", 280, 8}, {"HprLnkEx17", "日経チャート", 340, 8},
    {"HprLnkEx1", "yahoo", 214, 34},     {"HprLnkEx6", " W", 262, 34},       {"HprLnkEx16", " M", 290, 34},
    {"HprLnkEx14", "日経平均", 340, 34},
};
// Below the grid, at the left.
const LinkDef kLowerLinks[] = {
    {"HprLnkEx4", "ぱらっとチャート", 8, 0},    {"HprLnkEx3", "TOPIX", 130, 0},
    {"HprLnkEx10", "Rating", 190, 0},           {"HprLnkEx5", "stop高", 250, 0},
    {"HprLnkEx7", "業種別チャート１部", 8, 24}, {"HprLnkEx9", "チャートフォリオ", 150, 24},
};

}  // namespace

ScreeningWindow::ScreeningWindow(AppContext& ctx) : FormWindow(ctx, "Form6") {
  setFixedWidth(kWindowWidth);
  setMinimumHeight(kGridTop + kMinGridHeight + kBottomHeight);
  resize(kWindowWidth, kWindowHeight);
  buildControls();
  buildPatternPanel();
}

void ScreeningWindow::resizeEvent(QResizeEvent* event) {
  FormWindow::resizeEvent(event);
  layoutToHeight();
}

void ScreeningWindow::layoutToHeight() {
  if (!grid_) return;
  // The grid takes the height the window has; the bottom strip follows it.
  const int h = height();
  grid_->setGeometry(4, kGridTop, kWindowWidth - 8, h - kGridTop - kBottomHeight);
  for (const auto& [w, offset] : bottomControls_) w->move(w->x(), h - kBottomHeight + offset);
}

ClickableLabel* ScreeningWindow::makeLink(const QString& name, const QString& caption, int x, int y) {
  auto* l = new ClickableLabel(QStringLiteral("<a href=\"#\">%1</a>").arg(caption.toHtmlEscaped()), this);
  l->setObjectName(name);
  l->setTextFormat(Qt::RichText);
  l->setTextInteractionFlags(Qt::NoTextInteraction);
  l->setCursor(Qt::PointingHandCursor);
  l->setFocusPolicy(Qt::TabFocus);
  l->setToolTip(caption);
  l->adjustSize();
  l->move(x, y);
  connect(l, &ClickableLabel::clicked, this, [this, name] { screeningChartLinkClicked(*this, name); });
  return l;
}

void ScreeningWindow::buildControls() {
  // Top left: unit, OK, sort buttons and the count.
  text3_ = makeText("Text3");
  text3_->setReadOnly(true);
  text3_->setGeometry(6, 6, 60, 22);
  QPushButton* ok = makeButton("Command5", QStringLiteral("OK"));
  ok->setGeometry(72, 5, 70, 24);
  connect(ok, &QPushButton::clicked, this, &ScreeningWindow::closeWindow);
  QPushButton* prepare = makeButton("Command1", QStringLiteral("並替え準備"));
  prepare->setGeometry(6, 36, 96, 24);
  connect(prepare, &QPushButton::clicked, this, &ScreeningWindow::sortPrepare);
  QPushButton* execute = makeButton("Command13", QStringLiteral("並変え実行"));
  execute->setGeometry(6, 62, 96, 24);
  connect(execute, &QPushButton::clicked, this, &ScreeningWindow::sortExecute);
  QPushButton* restore = makeButton("Command10", QStringLiteral("元に戻す"));
  restore->setGeometry(6, 88, 96, 24);
  connect(restore, &QPushButton::clicked, this, &ScreeningWindow::restoreUniverse);
  QPushButton* backtest = makeButton("backtestButton", QStringLiteral("バックテスト"));
  backtest->setGeometry(6, 116, 96, 24);
  backtest->setToolTip(QStringLiteral("この銘柄群で、各パターンのその後の騰落率を価格履歴から集計します"));
  connect(backtest, &QPushButton::clicked, this, &ScreeningWindow::openBacktest);
  patternStatus_ = makeLabel("patternStatusLabel", QString());
  patternStatus_->setGeometry(108, 92, 300, 20);
  QFont statusFont = patternStatus_->font();
  statusFont.setBold(true);
  patternStatus_->setFont(statusFont);
  QLabel* countLabel = makeLabel("Label1", QStringLiteral("カードの枚数　"));
  countLabel->setGeometry(108, 40, 100, 20);
  text7_ = makeText("Text7", QStringLiteral("0"));
  text7_->setGeometry(108, 62, 64, 22);
  text7_->setAlignment(Qt::AlignRight);
  connect(text7_, &QLineEdit::textChanged, this, [this] { updateCount(); });

  // Hidden holders of the selected stock.
  text1_ = makeText("Text1");
  text1_->hide();
  text2_ = makeText("Text2");
  text2_->hide();

  for (const LinkDef& l : kUpperLinks) makeLink(l.name, QString::fromUtf8(l.caption), l.x, l.y);

  // The grid across the full width.
  grid_ = new FlexGrid(this);
  grid_->setObjectName(QStringLiteral("MSFlexGrid1"));
  grid_->setGeometry(4, kGridTop, kWindowWidth - 8, height() - kGridTop - kBottomHeight);
  connect(grid_, &FlexGrid::cellEntered, this, &ScreeningWindow::cellEntered);
  connect(grid_, &FlexGrid::doubleClicked, this, [this] { screeningGridDoubleClicked(*this); });
  // The chart window: a button near the links, the Enter key and the grid's context menu.
  addChartEntries(*this, grid_, 3)->setGeometry(214, 62, 116, 24);

  // Bottom: lower links, hints, searches and the watch-list buttons.
  const int bottom = height() - kBottomHeight + 6;
  for (const LinkDef& l : kLowerLinks) makeLink(l.name, QString::fromUtf8(l.caption), l.x, bottom + l.y);
  QLabel* hint = makeLabel("Label11", QStringLiteral("銘柄をダブルクリック ⇒ トレンド注目銘柄へ"));
  hint->setGeometry(330, bottom, 300, 20);
  auto* help = new ClickableLabel(QStringLiteral("Delta Percent ？"), this);
  help->setObjectName(QStringLiteral("Label10"));
  help->setCursor(Qt::WhatsThisCursor);
  help->setFocusPolicy(Qt::TabFocus);
  help->setGeometry(330, bottom + 26, 160, 20);
  connect(help, &ClickableLabel::clicked, this, &ScreeningWindow::ratioHelp);

  QPushButton* byName = makeButton("Command34", QStringLiteral("銘柄で探す"));
  byName->setGeometry(690, bottom - 2, 110, 26);
  connect(byName, &QPushButton::clicked, this, &ScreeningWindow::searchByName);
  QPushButton* byCode = makeButton("Command33", QStringLiteral("コードで探す"));
  byCode->setGeometry(690, bottom + 28, 110, 26);
  connect(byCode, &QPushButton::clicked, this, &ScreeningWindow::searchByCode);

  struct ListButtons {
    const char* list;
    const char* listCaption;
    const char* extract;
    int x;
  };
  for (const ListButtons& b : {ListButtons{"Command40", "注目銘柄", "Command16", 830},
                               ListButtons{"Command52", "トレンド", "Command26", 960}}) {
    const QString listName = QString::fromLatin1(b.list);
    const QString extractName = QString::fromLatin1(b.extract);
    QPushButton* list = makeButton(listName, QString::fromUtf8(b.listCaption));
    list->setGeometry(b.x, bottom - 2, 110, 26);
    connect(list, &QPushButton::clicked, this, [this, listName] { screeningListButtonClicked(*this, listName); });
    QPushButton* extract = makeButton(extractName, QStringLiteral("抽出"));
    extract->setGeometry(b.x, bottom + 28, 110, 26);
    connect(extract, &QPushButton::clicked, this, [this, extractName] { screeningExtractClicked(*this, extractName); });
  }
  // Everything below the grid keeps its distance from the window's bottom.
  for (QWidget* w : findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
    if (w != grid_ && w->y() >= kWindowHeight - kBottomHeight)
      bottomControls_.emplace_back(w, w->y() - (kWindowHeight - kBottomHeight));
}

void ScreeningWindow::buildPatternPanel() {
  // Group labels.
  auto label = [this](const char* name, const char* caption, int x, int y, int w) {
    QLabel* l = makeLabel(QString::fromLatin1(name), QString::fromUtf8(caption));
    l->setGeometry(x, y, w, 20);
    return l;
  };
  label("Label4", "横這から上昇", slotX(0), 4, 7 * kSlot);
  label("Label12", "押し目待ち", slotX(8), 4, 3 * kSlot + 20);
  QPushButton* maHelp = makeButton("Command78", QStringLiteral("？"));
  maHelp->setGeometry(slotX(12), 2, 22, 21);
  connect(maHelp, &QPushButton::clicked, this, &ScreeningWindow::movingAverageHelp);
  label("Label9", "移動平均↑", slotX(12) + 26, 4, 4 * kSlot);
  label("Label3", "ランキング", slotX(17), 4, 3 * kSlot);
  label("Label13", "反転から上昇", slotX(0), kRowTop[2] + 2, 7 * kSlot);
  label("Label5", "ＭＡ陽転", slotX(8), kRowTop[4] + 2, 3 * kSlot);
  label("Label14", "MA5", slotX(8), kRowTop[5] - 21, 3 * kSlot);
  label("Label8", "連騰銘柄", slotX(0), kRowTop[5] + 2, 4 * kSlot);
  label("Label16", "MA7", slotX(11), kRowTop[5] + 2, kSlot);
  label("Label15", "MA3", slotX(11), kRowTop[6] + 2, kSlot);
  label("Label7", "2段階上げ", slotX(14), kRowTop[5] + 2, 5 * kSlot);
  label("Label27", "　保合から上昇", slotX(0), kRowTop[0] - 22, 6 * kSlot);

  for (const screening::ScreeningPattern& p : screening::patternCatalogue()) {
    const QString name = QString::fromLatin1(p.control);
    QPushButton* b = makeButton(name, QString::fromUtf8(p.caption));
    const bool ranking = std::string(p.groupLabel) == "Label3";
    const bool flat = name == QLatin1String("Command14");
    const int width = ranking ? kSlot - 6 : kSlot - 2;
    const int height = flat ? kRowTop[4] + kButtonHeight - kRowTop[1] : kButtonHeight;
    b->setGeometry(slotX(p.slot), kRowTop[p.row], flat ? kSlot + 8 : width, height);
    b->setFocusPolicy(Qt::StrongFocus);
    connect(b, &QPushButton::clicked, this, [this, &p, b] { patternClicked(p, b); });
    patternButtons_.insert(name, b);
    // The count of the loaded universe, small, below the caption.
    auto* count = new QLabel(b);
    count->setObjectName(QStringLiteral("patternCount") + name);
    count->setAttribute(Qt::WA_TransparentForMouseEvents);
    QFont f = count->font();
    f.setPixelSize(8);
    count->setFont(f);
    count->setAlignment(Qt::AlignHCenter | Qt::AlignBottom);
    count->setGeometry(1, b->height() - 10, b->width() - 2, 9);
    count->hide();
  }
  resetPatternColours();
}

void ScreeningWindow::resetPatternColours() {
  patternPressed_.clear();
  framedPattern_.clear();
  if (patternStatus_) patternStatus_->clear();
  for (const screening::ScreeningPattern& p : screening::patternCatalogue())
    stylePatternButton(QString::fromLatin1(p.control));
}

void ScreeningWindow::stylePatternButton(const QString& control) {
  QPushButton* b = patternButtons_.value(control);
  const screening::ScreeningPattern* p = screening::findPattern(control.toStdString());
  if (!b || !p) return;
  const int count = patternCount(control);
  const QColor background = patternPressed_.value(control) ? kHighlight : rgbColor(p->rgb);
  QString css = QStringLiteral("QPushButton#%1 { background-color: %2;").arg(control, background.name());
  if (count >= 0) css += QStringLiteral(" padding-top: 0px; padding-bottom: 8px;");
  if (count == 0) css += QStringLiteral(" color: #8c8c8c;");  // no hit: dimmed, still pressable
  if (control == framedPattern_) css += QStringLiteral(" border: 3px solid #0000c0; font-weight: bold;");
  b->setStyleSheet(css + QStringLiteral(" }"));
  b->setProperty("currentPattern", control == framedPattern_);
  b->setProperty("dimmed", count == 0);
  if (auto* label = b->findChild<QLabel*>(QStringLiteral("patternCount") + control)) {
    label->setText(count >= 0 ? QString::number(count) : QString());
    label->setStyleSheet(count == 0 ? QStringLiteral("color: #8c8c8c;") : QString());
    label->setVisible(count >= 0);
  }
  const std::string groupText = screening::groupCaption(*p);
  const QString group = QString::fromStdString(groupText.empty() ? std::string(p->caption) : groupText);
  QString tip = QStringLiteral("%1（%2）").arg(QString::fromUtf8(p->caption), group);
  if (count >= 0) tip += QStringLiteral("\n%1 件").arg(count);
  b->setToolTip(tip);
}

void ScreeningWindow::showPatternCounts() {
  session_.countPatterns();
  for (const screening::ScreeningPattern& p : screening::patternCatalogue())
    stylePatternButton(QString::fromLatin1(p.control));
}

QString ScreeningWindow::currentPattern() const {
  const screening::ScreeningPattern* p = session_.currentPattern();
  return p ? QString::fromLatin1(p->control) : QString();
}

QString ScreeningWindow::patternStatusText() const { return patternStatus_ ? patternStatus_->text() : QString(); }

void ScreeningWindow::openBacktest() {
  const SharedState& st = ctx_.state();
  std::vector<std::string> codes;
  if (const std::optional<WatchList> list = watchListOfUniverse(st.universeIndex)) {
    WatchCodesOutcome listed = listedWatchCodes(ctx_.paths().watchListDb(), *list);
    if (listed.done())
      codes = std::move(listed.codes);
    else
      logLine("backtest", "watch list not read: " + listed.detail);
  }
  BacktestWindow& w = ctx_.backtest();
  w.show();
  w.raise();
  w.openFor(st.universeIndex, st.priceDbPath, codes, ctx_.unitWord());
}

void ScreeningWindow::followSharedState() {
  const SharedState& st = ctx_.state();
  session_.setUniverse(st.universeIndex, st.baseQuery);
  followMainMenu();
}

void ScreeningWindow::followMainMenu() {
  session_.setUnitWord(ctx_.unitWord());
  session_.setDates(ctx_.dateGridText(2), ctx_.dateGridText(11));
}

void ScreeningWindow::showSessionRows() {
  const bool wasOn = grid_->redraw();
  grid_->setRedraw(false);
  grid_->setContent(session_.view().fields(), session_.view().rows());
  grid_->setRedraw(wasOn);
}

void ScreeningWindow::showSessionOrder() { grid_->setRowOrder(session_.order()); }

void ScreeningWindow::listedWithoutPattern() {
  // The grid no longer shows a pattern's hits.
  if (!framedPattern_.isEmpty()) {
    const QString was = framedPattern_;
    framedPattern_.clear();
    patternStatus_->clear();
    stylePatternButton(was);
  }
  showSessionRows();
  updateCount();
}

bool ScreeningWindow::requery(const std::string& sql, const std::vector<Value>& params) {
  if (!session_.requery(sql, params)) return false;
  listedWithoutPattern();
  return true;
}

void ScreeningWindow::extract(const std::vector<std::string>& codes) {
  followSharedState();
  grid_->setRedraw(false);
  if (session_.extract(codes))
    listedWithoutPattern();
  else
    logLine("extraction", "query rejected, the grid keeps its rows: " + session_.view().recordSource());
  hi_title();
  grid_->setCol(kExtractionSortColumn);
  showSessionOrder();
  grid_->setRedraw(true);
}

void ScreeningWindow::updateCount() {
  if (settingCount_) return;
  settingCount_ = true;
  const QString count = QString::number(grid_->rows() - 1);
  if (text7_->text() != count) text7_->setText(count);
  settingCount_ = false;
}

void ScreeningWindow::hi_title() {
  followMainMenu();
  session_.retitle();
  const std::vector<std::string> titles = session_.titles();
  for (int c = 0; c < grid_->cols() && static_cast<size_t>(c) < titles.size(); ++c) {
    const QString title = QString::fromStdString(titles[static_cast<size_t>(c)]);
    if (grid_->textMatrix(0, c) != title) grid_->setTextMatrix(0, c, title);
  }
  updateCount();
}

QString ScreeningWindow::selectedCode() const { return text1_->text(); }
QString ScreeningWindow::selectedMarket() const { return text2_->text(); }

void ScreeningWindow::cellEntered() {
  const int r = grid_->row();
  text2_->setText(grid_->textMatrix(r, 4));
  text1_->setText(grid_->textMatrix(r, 3));
}

void ScreeningWindow::load() {
  SharedState& st = ctx_.state();
  st.universeIndex = st.selectorCode - 1000;
  followSharedState();
  resetPatternColours();
  grid_->setRedraw(false);
  const UniverseInfo* u = universeByIndex(st.universeIndex);
  if (u) {
    setBackground(this, rgbColor(u->rgb));
    setWindowTitle(QString::fromUtf8(u->windowCaption));
  } else {
    logLine("screening", "no universe for selector code " + std::to_string(st.selectorCode));
  }
  const bool loaded = session_.loadUniverse(st.priceDbPath, st.universeIndex, st.watchQuery);
  if (u) st.baseQuery = session_.baseQuery();
  if (loaded) listedWithoutPattern();
  if (u) showPatternCounts();
  grid_->setRedraw(true);
  const int widths[] = {250, 550, 1280, 600, 900, 600, 900, 900};
  for (int c = 0; c < 8; ++c) grid_->setColWidth(c, widths[c]);
  for (int c = 8; c <= 16; ++c) grid_->setColWidth(c, 500);
  // The widths above are the least: IDs, codes, market words, units, prices
  // and ratios show whole, the names take the room the grid has left.
  for (int c = 1; c <= 16; ++c)
    if (c != 2) grid_->setColFitsContents(c);
  grid_->setColTakesRoomLeft(2);
  updateCount();
  const std::string unit = ctx_.unitWord();
  text3_->setText(unit == "day" || unit == "week" || unit == "month" ? QString::fromStdString(unit) : QString());
  hi_title();
  grid_->setCol(3);
  showSessionOrder();
}

void ScreeningWindow::showEvent(QShowEvent* event) {
  FormWindow::showEvent(event);
  if (!event->spontaneous()) load();
}

void ScreeningWindow::patternClicked(const screening::ScreeningPattern& p, QPushButton* button) {
  const QString control = button->objectName();
  followSharedState();
  patternPressed_.insert(control, true);
  stylePatternButton(control);
  if (session_.clickPattern(p)) {
    showSessionRows();
    // This button's condition is what the grid shows now.
    const QString was = framedPattern_;
    framedPattern_ = control;
    if (!was.isEmpty() && was != control) stylePatternButton(was);
    stylePatternButton(control);
    patternStatus_->setText(QStringLiteral("%1: %2 件").arg(QString::fromUtf8(p.caption)).arg(session_.listedCount()));
  }
  hi_title();
  // The session sorted by the pattern's steps; the last step's column is current.
  for (const screening::SortStep& s : p.sortSteps) grid_->setCol(s.column);
  if (!p.sortSteps.empty()) showSessionOrder();
  if (!p.titleColours.empty()) {
    grid_->setRow(0);
    for (const screening::TitleColour& t : p.titleColours) {
      for (int c = t.firstColumn; c <= t.lastColumn; ++c) {
        grid_->setCol(c);
        grid_->setCellBackColor(rgbColor(t.rgb));
      }
    }
  }
}

void ScreeningWindow::sortPrepare() {
  MessageRequest m;
  m.title = "並び替え";
  m.lines = {"列の見出し（コード or 日付 or 市場 or　株価 or　DP or　情報源）をクリックしてください",
             "昇順に並び替えを行います."};
  ctx_.prompts().message(m);
}

void ScreeningWindow::sortExecute() {
  const int c = grid_->col();
  session_.sortAscending(c);
  if (c >= 1 && c <= 16) showSessionOrder();
  hi_title();
}

void ScreeningWindow::restoreUniverse() {
  followSharedState();
  grid_->setRedraw(false);
  if (session_.restore()) {
    listedWithoutPattern();
    // The universe as read now: the pattern clicks and counts follow it.
    showPatternCounts();
  }
  grid_->setRedraw(true);
  grid_->setCol(5);
  showSessionOrder();
  hi_title();
}

void ScreeningWindow::searchByCode() {
  InputRequest in;
  in.title = "検索";
  in.promptLines = {"検索するコードを入力してください"};
  std::optional<std::string> answer = ctx_.prompts().input(in);
  // The code as the list holds it: "130a" and "１３０Ａ" are 130A.
  if (answer)
    if (const std::optional<std::string> key = typedStockCodeKey(*answer)) answer = *key;
  followSharedState();
  switch (session_.searchForCode(answer)) {
    case screening::CodeSearch::NotACode: {
      // "1e3" or "7203 x" is no code: say so, and keep the rows.
      MessageRequest m;
      m.icon = MessageIcon::Warning;
      m.title = "検索";
      m.lines = {invalidStockCodeMessage(*answer)};
      ctx_.prompts().message(m);
      hi_title();
      return;
    }
    case screening::CodeSearch::Listed:
      listedWithoutPattern();
      grid_->setCol(5);
      break;
    case screening::CodeSearch::Rejected: grid_->setCol(5); break;
    case screening::CodeSearch::NothingAsked: break;  // Cancel or an empty answer: the grid keeps its rows
  }
  hi_title();
}

void ScreeningWindow::searchByName() {
  InputRequest in;
  in.title = "検索";
  in.promptLines = {"検索する銘柄を入力してください"};
  const auto answer = ctx_.prompts().input(in);
  followSharedState();
  if (session_.searchName(answer)) listedWithoutPattern();
  grid_->setCol(5);
  hi_title();
}

void ScreeningWindow::ratioHelp() {
  const std::string unit = ctx_.unitWord();
  const std::string rule = "-------------------------------------------------";
  MessageRequest m;
  if (unit == "day") {
    m.lines = {"ｎ日前の欄の値を　Ｘ　とすると",
               rule,
               "Ｘ=（ｎ日前の株価／直近の株価*100）-100　（％）",
               rule,
               "ｎ日前が　　２０　ならば　直近より２０％　高い",
               "ｎ日前が　－２５　ならば　直近より２５％　安い",
               rule};
  } else if (unit == "week") {
    m.lines = {"ｎ週前の欄の値を　Ｘ　とすると",
               rule,
               "Ｘ=（ｎ週前の株価／直近の株価*100）-100　（％）",
               rule,
               "ｎ週前のＸが　　２０　ならば　直近より２０％　高い",
               "ｎ週前のＸが　－２５　ならば　直近より２５％　安い",
               rule};
  } else if (unit == "month") {
    m.lines = {"ｎ月前の欄の値を　Ｘ　とすると",
               rule,
               "Ｘ=（ｎ月前の株価／直近の株価*100）-100　（％）",
               rule,
               "ｎ月前が　　２０　ならば　直近より２０％　高い",
               "ｎ月前が　－２５　ならば　直近より２５％　安い",
               rule};
  } else {
    return;
  }
  // Each line is followed by a line break.
  m.lines.push_back("");
  ctx_.prompts().message(m);
}

void ScreeningWindow::movingAverageHelp() {
  MessageRequest m;
  m.title = "";
  m.lines = {"移動平均を用いて上昇銘柄をリストアップします"};
  ctx_.prompts().message(m);
}

void ScreeningWindow::closeWindow() {
  ctx_.mainMenu().show();
  ctx_.state().universeIndex = 0;
  ctx_.unload(this);
}

}  // namespace tavrin::ui
