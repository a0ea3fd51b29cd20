#include "ui/chart/chart_window.h"

#include <QAction>
#include <QButtonGroup>
#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>
#include <unordered_set>

#include "app/paths.h"
#include "app/prompts.h"
#include "backtest/backtest.h"
#include "base/log.h"
#include "data/stock_code.h"
#include "ui/app/app_context.h"
#include "ui/chart/chart_canvas.h"
#include "ui/splits/splits_window.h"

namespace tavrin::ui {

namespace {

constexpr const char* kTitle = "チャート";

QString averageCaption(chart::ChartUnit unit, int periods) {
  switch (unit) {
    case chart::ChartUnit::Week: return QStringLiteral("%1週移動平均").arg(periods);
    case chart::ChartUnit::Month: return QStringLiteral("%1か月移動平均").arg(periods);
    case chart::ChartUnit::Day: break;
  }
  return QStringLiteral("%1日移動平均").arg(periods);
}

}  // namespace

ChartWindow::ChartWindow(AppContext& ctx) : FormWindow(ctx, "ChartWindow") {
  setWindowTitle(QString::fromUtf8(kTitle));
  setTitleBarCloseAllowed(true);
  auto* root = new QVBoxLayout(this);

  menuBar_ = new QMenuBar(this);
  menuBar_->setObjectName(QStringLiteral("chartMenuBar"));
  QMenu* file = menuBar_->addMenu(QStringLiteral("ファイル(&F)"));
  file->setObjectName(QStringLiteral("chartFileMenu"));
  saveAction_ = file->addAction(QStringLiteral("PNG画像として保存(&S)…"));
  saveAction_->setObjectName(QStringLiteral("chartSavePngAction"));
  saveAction_->setShortcut(QKeySequence::Save);
  file->addSeparator();
  QAction* close = file->addAction(QStringLiteral("閉じる(&C)"));
  close->setObjectName(QStringLiteral("chartCloseAction"));
  root->setMenuBar(menuBar_);
  // The shortcuts work while the menu bar is not focused.
  addAction(saveAction_);
  connect(saveAction_, &QAction::triggered, this, &ChartWindow::saveAsPng);
  connect(close, &QAction::triggered, this, &ChartWindow::closeWindow);

  titleLabel_ = makeLabel("chartTitleLabel", QString());
  QFont big = titleLabel_->font();
  big.setPointSizeF(big.pointSizeF() * 1.3);
  big.setBold(true);
  titleLabel_->setFont(big);
  titleLabel_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  root->addWidget(titleLabel_);

  auto* controls = new QHBoxLayout;
  auto* units = new QButtonGroup(this);
  units->setExclusive(true);
  const char* const unitNames[] = {"chartDailyButton", "chartWeeklyButton", "chartMonthlyButton"};
  const char* const unitCaptions[] = {"日足", "週足", "月足"};
  const chart::ChartUnit unitOf[] = {chart::ChartUnit::Day, chart::ChartUnit::Week, chart::ChartUnit::Month};
  for (int i = 0; i < 3; ++i) {
    QPushButton* b = makeButton(QString::fromLatin1(unitNames[i]), QString::fromUtf8(unitCaptions[i]));
    b->setCheckable(true);
    b->setToolTip(
        QStringLiteral("株価履歴の日々の株価から%1のローソク足を描きます").arg(QString::fromUtf8(unitCaptions[i])));
    units->addButton(b, i);
    controls->addWidget(b);
    unitButtons_[static_cast<size_t>(i)] = b;
    const chart::ChartUnit unit = unitOf[i];
    connect(b, &QPushButton::clicked, this, [this, unit] { setViewUnit(unit); });
  }
  unitButtons_[0]->setChecked(true);
  controls->addSpacing(16);
  auto* group = new QButtonGroup(this);
  group->setExclusive(true);
  const char* const rangeNames[] = {"chartRangeShortButton", "chartRangeMediumButton", "chartRangeLongButton",
                                    "chartRangeAllButton"};
  for (int i = 0; i < 4; ++i) {
    QPushButton* b = makeButton(QString::fromLatin1(rangeNames[i]), QString());
    b->setCheckable(true);
    group->addButton(b, i);
    controls->addWidget(b);
    rangeButtons_[static_cast<size_t>(i)] = b;
    connect(b, &QPushButton::clicked, this, [this, i] { setRangeChoice(i); });
  }
  controls->addStretch();
  root->addLayout(controls);
  // The averages and marks on a row of their own, so that the window stays
  // narrow enough for a small screen.
  auto* options = new QHBoxLayout;
  const char* const averageNames[] = {"chartAverageShortCheck", "chartAverageMediumCheck", "chartAverageLongCheck"};
  for (int k = 0; k < 3; ++k) {
    auto* c = new QCheckBox(this);
    c->setObjectName(QString::fromLatin1(averageNames[k]));
    c->setChecked(true);
    QPalette pal = c->palette();
    pal.setColor(QPalette::WindowText, ChartCanvas::averageColor(k).darker(120));
    c->setPalette(pal);
    options->addWidget(c);
    averageChecks_[static_cast<size_t>(k)] = c;
    connect(c, &QCheckBox::toggled, this, [this, k](bool on) { canvas_->setAverageShown(k, on); });
  }
  options->addSpacing(16);
  patternDaysCheck_ = new QCheckBox(QStringLiteral("パターンの出た日"), this);
  patternDaysCheck_->setObjectName(QStringLiteral("chartPatternDaysCheck"));
  patternDaysCheck_->setToolTip(
      QStringLiteral("株価履歴の各日に、この銘柄がどのパターンに当てはまったかを調べて印を付けます"));
  options->addWidget(patternDaysCheck_);
  connect(patternDaysCheck_, &QCheckBox::toggled, this, [this] { markPatternDays(); });
  options->addStretch();
  auto* splits = new QPushButton(QStringLiteral("株式分割…"), this);
  splits->setObjectName(QStringLiteral("chartSplitsButton"));
  splits->setToolTip(QStringLiteral("この銘柄の株式分割・併合を登録し、一覧します"));
  connect(splits, &QPushButton::clicked, this, [this] { openSplits(); });
  options->addWidget(splits);
  root->addLayout(options);

  canvas_ = new ChartCanvas(this);
  canvas_->setObjectName(QStringLiteral("chartCanvas"));
  root->addWidget(canvas_, 1);

  auto* bottom = new QHBoxLayout;
  pointLabel_ = makeLabel("chartPointLabel", QString());
  pointLabel_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  noteLabel_ = makeLabel("chartNoteLabel", QString());
  noteLabel_->setStyleSheet(QStringLiteral("color: #606060;"));
  bottom->addWidget(pointLabel_, 1);
  bottom->addWidget(noteLabel_);
  root->addLayout(bottom);
  connect(canvas_, &ChartCanvas::crosshairMoved, this, &ChartWindow::showPoint);

  saveFileDialog = [](QWidget* owner, const QString& suggested) {
    return QFileDialog::getSaveFileName(owner, QStringLiteral("チャートを画像で保存"), suggested,
                                        QStringLiteral("PNG画像 (*.png)"));
  };
  applyUnit();
  resize(900, 560);
}

chart::ChartUnit ChartWindow::viewUnit() const {
  return stock_.unit == chart::ChartUnit::Day ? chosenUnit_ : stock_.unit;
}

void ChartWindow::applyUnit() {
  const chart::ChartUnit unit = viewUnit();
  const auto choices = chart::rangeChoices(unit);
  for (std::size_t i = 0; i < 4; ++i) rangeButtons_[i]->setText(QString::fromUtf8(choices[i].caption));
  const auto periods = chart::averagePeriods(unit);
  for (std::size_t k = 0; k < 3; ++k) averageChecks_[k]->setText(averageCaption(unit, periods[k]));
  const bool choosable = chart::viewUnits(stock_.unit).size() > 1;
  for (QPushButton* b : unitButtons_) b->setVisible(choosable);
  unitButtons_[static_cast<std::size_t>(chosenUnit_)]->setChecked(true);
}

void ChartWindow::setViewUnit(chart::ChartUnit unit) {
  chosenUnit_ = unit;
  if (stock_.unit != chart::ChartUnit::Day) {
    applyUnit();
    return;
  }
  applyView();
}

void ChartWindow::applyView() {
  const chart::ChartUnit unit = viewUnit();
  shown_ = chart::seriesOfStock(stock_, unit);
  const auto periods = chart::averagePeriods(unit);
  std::array<std::vector<std::optional<double>>, 3> averages;
  for (std::size_t k = 0; k < 3; ++k) averages[k] = chart::movingAverage(shown_.bars, periods[k]);
  canvas_->setSeries(&shown_, unit, std::move(averages), periods);
  for (std::size_t k = 0; k < 3; ++k) canvas_->setAverageShown(static_cast<int>(k), averageChecks_[k]->isChecked());
  applyUnit();
  if (!markedDays_.empty()) setMarkedDays(markedDays_, markedLabel_);
  setRangeChoice(rangeChoice_);
}

void ChartWindow::openSplits() {
  SplitsWindow& w = ctx_.splits();
  if (!splitsConnected_) {
    // A split entered or removed changes the prices drawn.
    connect(&w, &SplitsWindow::splitsChanged, this, [this] {
      if (isVisible() && !stock_.code.empty()) showStock(dbPath_, QString::fromStdString(stock_.code));
    });
    splitsConnected_ = true;
  }
  w.showStock(QString::fromStdString(stock_.code));
  w.show();
  w.raise();
  w.activateWindow();
}

bool ChartWindow::showStock(const std::string& dbPath, const QString& code) {
  // A code as typed ("130a", "１３０Ａ") is looked up as the list holds it.
  const std::string typed = code.trimmed().toStdString();
  chart::ChartStock loaded = chart::loadChartStock(fromUtf8(dbPath), typedStockCodeKey(typed).value_or(typed));
  if (!loaded.found) {
    logLine("chart", dbPath + ": " + code.toStdString() + ": " + loaded.error);
    MessageRequest m;
    m.icon = MessageIcon::Warning;
    m.title = kTitle;
    m.lines = {"この銘柄の株価を読めませんでした: " + code.toStdString()};
    ctx_.prompts().message(m);
    return false;
  }
  stock_ = std::move(loaded);
  markedDays_.clear();
  markedLabel_.clear();
  applyView();
  const QString title = QString::fromStdString(chart::stockTitle(stock_));
  titleLabel_->setText(title);
  setWindowTitle(QString::fromUtf8(kTitle) + QStringLiteral(" — ") + title);
  if (stock_.series.empty())
    noteLabel_->setText(QStringLiteral("株価がまだありません"));
  else if (stock_.historyPoints == 0)
    noteLabel_->setText(QStringLiteral("株価履歴がないため、登録中の10期間だけを表示しています"));
  else
    noteLabel_->setText(QStringLiteral("%1期間").arg(stock_.series.size()));
  dbPath_ = dbPath;
  if (patternDaysCheck_->isChecked()) markPatternDays();
  showPoint();
  return true;
}

void ChartWindow::markPatternDays() {
  if (!patternDaysCheck_->isChecked() || stock_.series.empty()) {
    setMarkedDays({}, {});
    return;
  }
  std::vector<int> days;
  try {
    for (const backtest::StockDate& d : backtest::patternDaysOfStock(fromUtf8(dbPath_), stock_.code))
      days.push_back(d.day);
  } catch (const std::exception& e) {
    logLine("chart", std::string("pattern days: ") + e.what());
  }
  setMarkedDays(std::move(days), QStringLiteral("パターン"));
}

void ChartWindow::setMarkedDays(std::vector<int> dayNumbers, QString label) {
  // Days of a week or month are marked on the bar of their period.
  const chart::ChartUnit unit = viewUnit();
  std::vector<int> onBars = unit == stock_.unit ? dayNumbers : chart::barDaysOf(shown_, dayNumbers, unit);
  markedDays_ = std::move(dayNumbers);
  markedLabel_ = label;
  canvas_->setMarkedDays(std::unordered_set<int>(onBars.begin(), onBars.end()), std::move(label));
}

void ChartWindow::setRangeChoice(int index) {
  if (index < 0 || index > 3) return;
  rangeChoice_ = index;
  rangeButtons_[static_cast<size_t>(index)]->setChecked(true);
  const auto choices = chart::rangeChoices(viewUnit());
  canvas_->setRange(chart::rangeFor(shown_, choices[static_cast<size_t>(index)].months));
  showPoint();
}

QString ChartWindow::pointText() const { return pointLabel_->text(); }

void ChartWindow::showPoint() {
  const chart::ChartSeries& s = shown_;
  std::optional<std::size_t> i = canvas_->crosshair();
  if (!i && !s.empty()) i = s.size() - 1;
  pointLabel_->setText(i ? QString::fromStdString(chart::pointDescription(s, *i, viewUnit())) : QString());
}

bool ChartWindow::savePng(const QString& file) {
  if (!canvas_->isVisible() || canvas_->width() < 50) {
    // Not shown yet: draw it at its usual size.
    canvas_->resize(canvas_->sizeHint());
  }
  QImage image(canvas_->size(), QImage::Format_ARGB32);
  image.fill(Qt::white);
  canvas_->render(&image);
  // The stock's name above the chart, so the file tells what it shows.
  QImage out(image.width(), image.height() + 30, QImage::Format_ARGB32);
  out.fill(Qt::white);
  {
    QPainter p(&out);
    QFont f = titleLabel_->font();
    p.setFont(f);
    p.setPen(Qt::black);
    p.drawText(QRect(8, 0, out.width() - 16, 30), Qt::AlignLeft | Qt::AlignVCenter, titleLabel_->text());
    p.drawImage(0, 30, image);
  }
  if (!out.save(file, "PNG")) {
    logLine("chart", "cannot write " + file.toStdString());
    return false;
  }
  return true;
}

void ChartWindow::saveAsPng() {
  const QString name =
      QStringLiteral("chart-%1.png").arg(QString::fromStdString(stock_.code.empty() ? "stock" : stock_.code));
  const QString suggested = QDir(QString::fromStdString(toUtf8(ctx_.paths().root()))).filePath(name);
  const QString file = saveFileDialog ? saveFileDialog(this, suggested) : QString();
  if (file.isEmpty()) return;
  if (!savePng(file)) {
    MessageRequest m;
    m.icon = MessageIcon::Warning;
    m.title = kTitle;
    m.lines = {"画像を保存できませんでした: " + file.toStdString()};
    ctx_.prompts().message(m);
  }
}

void ChartWindow::closeWindow() { hide(); }

}  // namespace tavrin::ui
