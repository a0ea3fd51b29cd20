#include "ui/chart/chart_canvas.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <climits>
#include <cmath>

namespace tavrin::ui {

namespace {

constexpr double kLeft = 8, kRight = 76, kTop = 24, kBottom = 26;
// Between the price pane and the volume pane.
constexpr double kPaneGap = 8;
constexpr double kMarkStrip = 10;  // the strip of the marked days
const QColor kCloseColor(0x1f, 0x3a, 0x93);
const QColor kRisingColor(0xd8, 0x26, 0x26);
const QColor kFallingColor(0x1d, 0x5c, 0xd6);
const QColor kEvenColor(0x30, 0x30, 0x30);
const QColor kVolumeColor(0xa6, 0xb1, 0xc2);
const QColor kRegisteredColor(0xd0, 0x20, 0x20);
const QColor kMarkedColor(0xc0, 0x10, 0xc0);
const QColor kGridColor(0xe4, 0xe4, 0xe4);
const QColor kMajorGridColor(0xb8, 0xb8, 0xb8);

QString axisPriceText(double v, double step) {
  if (step >= 1) return QString::fromStdString(groupedCount(std::llround(v)));
  return QString::number(v, 'f', step >= 0.1 ? 1 : 2);
}

QString unitSuffix(chart::ChartUnit unit) {
  switch (unit) {
    case chart::ChartUnit::Week: return QStringLiteral("週");
    case chart::ChartUnit::Month: return QStringLiteral("か月");
    case chart::ChartUnit::Day: break;
  }
  return QStringLiteral("日");
}

double yen(std::int32_t tenths) { return static_cast<double>(tenths) / 10.0; }
// The highest and lowest price of a bar: its close where it lacks them.
double highOf(const Bar& b) { return yen(b.high > 0 ? b.high : b.close); }
double lowOf(const Bar& b) { return yen(b.low > 0 ? b.low : b.close); }

// The lines through the values of a range, broken where a value is missing.
// With more points than pixel columns (dense) each column is drawn as the
// first, lowest, highest and last value that falls in it, which looks the
// same and keeps the painting quick for long histories.
template <class ValueAt, class XOf, class YOf>
std::vector<QPolygonF> polylines(chart::IndexRange range, bool dense, ValueAt valueAt, XOf xOf, YOf yOf) {
  std::vector<QPolygonF> out;
  QPolygonF run;
  long column = LONG_MIN;
  double first = 0, low = 0, high = 0, last = 0;
  auto flush = [&] {
    if (column == LONG_MIN) return;
    const double x = static_cast<double>(column) + 0.5;
    run << QPointF(x, first);
    if (high != low) run << QPointF(x, low) << QPointF(x, high);
    if (last != high || high == low) run << QPointF(x, last);
    column = LONG_MIN;
  };
  auto finish = [&] {
    flush();
    if (!run.isEmpty()) out.push_back(std::move(run));
    run = QPolygonF();
  };
  for (std::size_t i = range.first; i < range.end(); ++i) {
    const std::optional<double> v = valueAt(i);
    if (!v) {
      finish();
      continue;
    }
    const double x = xOf(i), y = yOf(*v);
    if (!dense) {
      run << QPointF(x, y);
      continue;
    }
    const long c = static_cast<long>(std::floor(x));
    if (c != column) {
      flush();
      column = c;
      first = low = high = last = y;
    } else {
      low = std::min(low, y);
      high = std::max(high, y);
      last = y;
    }
  }
  finish();
  return out;
}

}  // namespace

ChartCanvas::ChartCanvas(QWidget* parent) : QWidget(parent) {
  setMouseTracking(true);
  setAttribute(Qt::WA_OpaquePaintEvent);
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

QColor ChartCanvas::averageColor(int which) {
  static const QColor colors[] = {QColor(0xe6, 0x7e, 0x00), QColor(0x1a, 0x9a, 0x3a), QColor(0x8a, 0x3f, 0xc0)};
  return colors[std::clamp(which, 0, 2)];
}
QColor ChartCanvas::risingColor() { return kRisingColor; }
QColor ChartCanvas::fallingColor() { return kFallingColor; }

void ChartCanvas::invalidate() {
  marksValid_ = false;
  backgroundValid_ = false;
  update();
}

void ChartCanvas::setSeries(const chart::ChartSeries* series, chart::ChartUnit unit,
                            std::array<std::vector<std::optional<double>>, 3> averages, std::array<int, 3> periods) {
  series_ = series;
  unit_ = unit;
  averages_ = std::move(averages);
  periods_ = periods;
  range_ = series ? chart::IndexRange{0, series->size()} : chart::IndexRange{};
  crosshair_.reset();
  markedDays_.clear();
  markedLabel_.clear();
  invalidate();
}

void ChartCanvas::setRange(chart::IndexRange range) {
  range_ = range;
  if (crosshair_ && (*crosshair_ < range_.first || *crosshair_ >= range_.end())) crosshair_.reset();
  invalidate();
}

void ChartCanvas::setAverageShown(int which, bool shown) {
  if (which < 0 || which > 2) return;
  shown_[static_cast<size_t>(which)] = shown;
  invalidate();
}

void ChartCanvas::setMarkedDays(std::unordered_set<int> days, QString label) {
  markedDays_ = std::move(days);
  markedLabel_ = std::move(label);
  invalidate();
}

void ChartCanvas::setCrosshair(std::optional<std::size_t> index) {
  if (index && (!series_ || *index >= series_->size())) index.reset();
  if (index == crosshair_) return;
  crosshair_ = index;
  update();
  emit crosshairMoved();
}

QRectF ChartCanvas::plotArea() const {
  return QRectF(kLeft, kTop, std::max(10.0, width() - kLeft - kRight), std::max(10.0, height() - kTop - kBottom));
}

double ChartCanvas::xOf(std::size_t index) const {
  const QRectF a = plotArea();
  const double n = static_cast<double>(std::max<std::size_t>(range_.count, 1));
  return a.left() + (static_cast<double>(index) - static_cast<double>(range_.first) + 0.5) * a.width() / n;
}

double ChartCanvas::yOf(double v) const {
  const QRectF& a = marks_.pricePane;
  return a.bottom() - (v - marks_.low) * a.height() / (marks_.high - marks_.low);
}

double ChartCanvas::priceY(double yen) {
  if (!marksValid_) buildMarks();
  return yOf(yen);
}

const ChartCanvas::Marks& ChartCanvas::marks() {
  if (!marksValid_) buildMarks();
  return marks_;
}

std::optional<std::size_t> ChartCanvas::indexAt(int x) const {
  if (!series_ || range_.count == 0) return std::nullopt;
  const QRectF a = plotArea();
  const double rel = (x - a.left()) * static_cast<double>(range_.count) / a.width();
  const auto i = static_cast<long long>(std::floor(rel));
  const long long clamped = std::clamp<long long>(i, 0, static_cast<long long>(range_.count) - 1);
  return range_.first + static_cast<std::size_t>(clamped);
}

void ChartCanvas::mouseMoveEvent(QMouseEvent* event) {
  QWidget::mouseMoveEvent(event);
  const QPointF p = event->position();
  if (!plotArea().adjusted(0, 0, 0, kBottom).contains(p)) {
    setCrosshair(std::nullopt);
    return;
  }
  setCrosshair(indexAt(static_cast<int>(p.x())));
}

void ChartCanvas::leaveEvent(QEvent* event) {
  QWidget::leaveEvent(event);
  setCrosshair(std::nullopt);
}

void ChartCanvas::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  marksValid_ = false;
  backgroundValid_ = false;
}

bool ChartCanvas::drawable() const {
  return series_ && !series_->empty() && range_.count > 0 && range_.end() <= series_->size();
}

void ChartCanvas::buildMarks() {
  marks_ = Marks();
  marksValid_ = true;
  const QRectF a = plotArea();
  marks_.pricePane = a;
  if (!drawable()) return;
  const chart::ChartSeries& s = *series_;
  const std::vector<Bar>& bars = s.bars;

  // The volume pane under the prices when a bar of the range has a volume.
  std::int64_t maxVolume = -1;
  for (std::size_t i = range_.first; i < range_.end(); ++i) maxVolume = std::max(maxVolume, bars[i].volume);
  if (maxVolume >= 0) {
    const double h = std::clamp(std::floor(a.height() * 0.22), 32.0, 180.0);
    if (a.height() - h - kPaneGap >= 60) {
      marks_.volumePane = QRectF(a.left(), a.bottom() - h, a.width(), h);
      marks_.pricePane = QRectF(a.left(), a.top(), a.width(), a.height() - h - kPaneGap);
    }
  }
  // The marked days on a strip of their own under the prices, so that
  // however many there are they never cover a price.
  if (!markedDays_.empty() && marks_.pricePane.height() - kMarkStrip - 2 >= 60) {
    const QRectF& pp = marks_.pricePane;
    marks_.markStrip = QRectF(pp.left(), pp.bottom() - kMarkStrip, pp.width(), kMarkStrip);
    marks_.pricePane = QRectF(pp.left(), pp.top(), pp.width(), pp.height() - kMarkStrip - 2);
  }
  const QRectF& pane = marks_.pricePane;
  const chart::PriceStyle style = chart::priceStyle(s, range_, pane.width());
  marks_.style = style;
  const bool ranges = style != chart::PriceStyle::Line;

  // The values of the range: prices (the closes on the line) and the averages shown.
  double lo = ranges ? lowOf(bars[range_.first]) : yen(bars[range_.first].close), hi = lo;
  for (std::size_t i = range_.first; i < range_.end(); ++i) {
    lo = std::min(lo, ranges ? lowOf(bars[i]) : yen(bars[i].close));
    hi = std::max(hi, ranges ? highOf(bars[i]) : yen(bars[i].close));
    for (int k = 0; k < 3; ++k) {
      if (!shown_[static_cast<size_t>(k)]) continue;
      const auto& v = averages_[static_cast<size_t>(k)];
      if (i < v.size() && v[i]) {
        lo = std::min(lo, *v[i]);
        hi = std::max(hi, *v[i]);
      }
    }
  }
  const double pad = hi > lo ? (hi - lo) * 0.05 : std::max(1.0, std::abs(hi) * 0.05);
  marks_.low = lo - pad;
  marks_.high = hi + pad;

  auto px = [](double v) { return std::round(v); };
  const double slot = pane.width() / static_cast<double>(range_.count);
  // Bodies an odd number of pixels wide, so that the wick runs down the
  // middle, and no wider than a candle of a short range needs.
  double bodyWidth = std::clamp(std::floor(slot * 0.7), 1.0, 21.0);
  if (bodyWidth >= 3 && static_cast<long>(bodyWidth) % 2 == 0) bodyWidth -= 1;
  const double halfBody = std::floor((bodyWidth - 1) / 2);
  auto closePoint = [&](std::size_t i) { return QPointF(xOf(i), yOf(yen(bars[i].close))); };

  if (style == chart::PriceStyle::Candles || style == chart::PriceStyle::HighLow) {
    const bool candles = style == chart::PriceStyle::Candles;
    for (std::size_t i = range_.first; i < range_.end(); ++i) {
      const Bar& b = bars[i];
      const chart::BarKind kind = chart::barKind(b);
      if (kind == chart::BarKind::CloseOnly) continue;
      const double x = std::floor(xOf(i));
      const double yHigh = px(yOf(yen(b.high))), yLow = std::max(px(yOf(yen(b.low))), yHigh + 1);
      const QLineF wick(x, yHigh, x, yLow);
      const double yOpen = px(yOf(yen(b.open))), yClose = px(yOf(yen(b.close)));
      const QRectF body(x - halfBody, std::min(yOpen, yClose), bodyWidth, std::max(1.0, std::abs(yOpen - yClose)));
      switch (kind) {
        case chart::BarKind::Rising:
          marks_.risingWicks << wick;
          if (candles) marks_.risingBodies << body;
          break;
        case chart::BarKind::Falling:
          marks_.fallingWicks << wick;
          if (candles) marks_.fallingBodies << body;
          break;
        case chart::BarKind::Even:
          marks_.evenStrokes << wick;
          if (candles) marks_.evenStrokes << QLineF(x - halfBody, yClose, x + halfBody, yClose);
          break;
        case chart::BarKind::CloseOnly: break;
      }
    }
    // Bars with a close alone: the line through them, joined to the closes
    // of the candles on either side.
    for (std::size_t i = range_.first; i < range_.end();) {
      if (bars[i].hasRange()) {
        ++i;
        continue;
      }
      std::size_t j = i;
      while (j < range_.end() && !bars[j].hasRange()) ++j;
      QPolygonF run;
      if (i > range_.first) run << closePoint(i - 1);
      for (std::size_t k = i; k < j; ++k) run << closePoint(k);
      if (j < range_.end()) run << closePoint(j);
      marks_.closeLines.push_back(std::move(run));
      i = j;
    }
  } else if (style == chart::PriceStyle::Columns) {
    // Each pixel column from its lowest to its highest price, reaching the
    // last close of the column before so that the columns join up.
    long column = LONG_MIN;
    double top = 0, bottom = 0, lastClose = 0;
    auto flush = [&] {
      if (column != LONG_MIN)
        marks_.columns << QLineF(static_cast<double>(column), px(top), static_cast<double>(column),
                                 std::max(px(bottom), px(top) + 1));
    };
    for (std::size_t i = range_.first; i < range_.end(); ++i) {
      const Bar& b = bars[i];
      const long c = static_cast<long>(std::floor(xOf(i)));
      const double yh = yOf(highOf(b)), yl = yOf(lowOf(b));
      if (c != column) {
        flush();
        top = yh;
        bottom = yl;
        if (column != LONG_MIN) {
          top = std::min(top, lastClose);
          bottom = std::max(bottom, lastClose);
        }
        column = c;
      } else {
        top = std::min(top, yh);
        bottom = std::max(bottom, yl);
      }
      lastClose = yOf(yen(b.close));
    }
    flush();
  } else {
    marks_.closeLines = polylines(
        range_, static_cast<double>(range_.count) > pane.width(),
        [&](std::size_t i) { return std::optional<double>(yen(bars[i].close)); }, [&](std::size_t i) { return xOf(i); },
        [&](double v) { return yOf(v); });
  }

  // Volumes: a bar under each bar, or the largest of each pixel column when
  // the bars are denser than the pixels.
  if (!marks_.volumePane.isEmpty()) {
    const QRectF& vp = marks_.volumePane;
    marks_.volumeTop = maxVolume > 0 ? static_cast<double>(maxVolume) * 1.08 : 1.0;
    auto vy = [&](double v) { return px(vp.bottom() - v * vp.height() / marks_.volumeTop); };
    auto add = [&](double left, double w, std::int64_t v) {
      if (v <= 0) return;
      const double top = std::min(vy(static_cast<double>(v)), vp.bottom() - 1);
      marks_.volumeBars << QRectF(left, top, w, vp.bottom() - top);
    };
    if (static_cast<double>(range_.count) > vp.width()) {
      long column = LONG_MIN;
      std::int64_t largest = 0;
      for (std::size_t i = range_.first; i < range_.end(); ++i) {
        const long c = static_cast<long>(std::floor(xOf(i)));
        if (c != column) {
          if (column != LONG_MIN) add(static_cast<double>(column), 1, largest);
          column = c;
          largest = 0;
        }
        largest = std::max(largest, bars[i].volume);
      }
      if (column != LONG_MIN) add(static_cast<double>(column), 1, largest);
    } else {
      for (std::size_t i = range_.first; i < range_.end(); ++i)
        add(std::floor(xOf(i)) - halfBody, bodyWidth, bars[i].volume);
    }
  }
}

void ChartCanvas::paintEvent(QPaintEvent*) {
  if (!marksValid_) buildMarks();
  const qreal ratio = devicePixelRatioF();
  const QSize pixels = (QSizeF(size()) * ratio).toSize();
  if (!backgroundValid_ || background_.size() != pixels) {
    background_ = QPixmap(pixels);
    background_.setDevicePixelRatio(ratio);
    QPainter bp(&background_);
    bp.setFont(font());
    paintBackground(bp);
    backgroundValid_ = true;
  }
  QPainter p(this);
  p.drawPixmap(0, 0, background_);
  paintCrosshair(p);
}

void ChartCanvas::paintBackground(QPainter& p) {
  p.fillRect(rect(), Qt::white);
  const QRectF a = plotArea();
  const QRectF& pane = marks_.pricePane;
  const QRectF& volumePane = marks_.volumePane;
  const bool withVolume = !volumePane.isEmpty();
  p.setPen(kMajorGridColor);
  p.drawRect(pane);
  if (withVolume) p.drawRect(volumePane);
  const QFontMetrics fm = fontMetrics();

  if (!drawable()) {
    p.setPen(Qt::darkGray);
    p.drawText(a, Qt::AlignCenter, QStringLiteral("表示できる株価がありません"));
    return;
  }
  const chart::ChartSeries& s = *series_;
  const std::vector<Bar>& bars = s.bars;
  const bool dense = static_cast<double>(range_.count) > pane.width();

  // Price axis.
  const std::vector<double> ticks =
      chart::valueTicks(marks_.low, marks_.high, std::max(2, static_cast<int>(pane.height() / 42)));
  const double step = ticks.size() > 1 ? ticks[1] - ticks[0] : 1.0;
  for (double t : ticks) {
    const double y = yOf(t);
    p.setPen(kGridColor);
    p.drawLine(QPointF(pane.left() + 1, y), QPointF(pane.right() - 1, y));
    p.setPen(Qt::black);
    p.drawText(QRectF(pane.right() + 4, y - fm.height() / 2.0, kRight - 6, fm.height()),
               Qt::AlignLeft | Qt::AlignVCenter, axisPriceText(t, step));
  }
  // Volume axis: a few round volumes above zero.
  if (withVolume) {
    const auto vticks =
        chart::valueTicks(0, marks_.volumeTop, std::clamp(static_cast<int>(volumePane.height() / 22), 1, 4));
    for (double t : vticks) {
      if (t <= 0) continue;
      const double y = volumePane.bottom() - t * volumePane.height() / marks_.volumeTop;
      if (y < volumePane.top() + fm.height() / 2.0) continue;
      p.setPen(kGridColor);
      p.drawLine(QPointF(volumePane.left() + 1, y), QPointF(volumePane.right() - 1, y));
      p.setPen(Qt::black);
      p.drawText(QRectF(volumePane.right() + 4, y - fm.height() / 2.0, kRight - 6, fm.height()),
                 Qt::AlignLeft | Qt::AlignVCenter, QString::fromStdString(chart::volumeLabel(t)));
    }
  }

  // Date axis, its lines through both panes.
  const std::size_t maxLabels =
      static_cast<std::size_t>(std::max(1.0, a.width() / (fm.horizontalAdvance("2026/12") + 16)));
  for (const chart::DateLabel& l : chart::dateLabels(s, range_, unit_, maxLabels)) {
    const double x = xOf(l.index);
    p.setPen(l.major ? kMajorGridColor : kGridColor);
    p.drawLine(QPointF(x, pane.top() + 1), QPointF(x, pane.bottom() - 1));
    if (withVolume) p.drawLine(QPointF(x, volumePane.top() + 1), QPointF(x, volumePane.bottom() - 1));
    p.setPen(Qt::black);
    const QString text = QString::fromStdString(l.text);
    const double w = fm.horizontalAdvance(text);
    p.drawText(QPointF(std::clamp(x - w / 2, 0.0, width() - w), a.bottom() + fm.ascent() + 4), text);
  }

  // Volumes.
  if (withVolume) {
    p.setClipRect(volumePane.adjusted(1, 1, -1, -1));
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(Qt::NoPen);
    p.setBrush(kVolumeColor);
    p.drawRects(marks_.volumeBars);
    p.setBrush(Qt::NoBrush);
    p.setPen(QColor(0x60, 0x60, 0x60));
    p.drawText(QPointF(volumePane.left() + 4, volumePane.top() + fm.ascent() + 2), QStringLiteral("出来高"));
  }

  p.setClipRect(pane.adjusted(1, 1, -1, -1));
  // The averages under the prices.
  p.setRenderHint(QPainter::Antialiasing, !dense);
  for (int k = 2; k >= 0; --k) {
    if (!shown_[static_cast<size_t>(k)]) continue;
    const auto& v = averages_[static_cast<size_t>(k)];
    // One pixel wide when dense: thin lines take the quick way through the painter.
    p.setPen(QPen(averageColor(k), dense ? 1.0 : 1.2));
    for (const QPolygonF& line : polylines(
             range_, dense, [&](std::size_t i) { return i < v.size() ? v[i] : std::nullopt; },
             [&](std::size_t i) { return xOf(i); }, [&](double y) { return yOf(y); }))
      if (line.size() > 1) p.drawPolyline(line);
  }
  // Candles, high-low bars or columns: one call per colour, without smoothing
  // so that every edge falls on a pixel.
  p.setRenderHint(QPainter::Antialiasing, false);
  auto strokes = [&](const QVector<QLineF>& lines, const QColor& c) {
    if (lines.isEmpty()) return;
    p.setPen(QPen(c, 0));
    p.drawLines(lines);
  };
  strokes(marks_.risingWicks, kRisingColor);
  strokes(marks_.fallingWicks, kFallingColor);
  strokes(marks_.evenStrokes, kEvenColor);
  strokes(marks_.columns, kCloseColor);
  auto fills = [&](const QVector<QRectF>& rects, const QColor& c) {
    if (rects.isEmpty()) return;
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawRects(rects);
    p.setBrush(Qt::NoBrush);
  };
  fills(marks_.risingBodies, kRisingColor);
  fills(marks_.fallingBodies, kFallingColor);
  // The line of the closes.
  p.setRenderHint(QPainter::Antialiasing, !dense);
  p.setPen(QPen(kCloseColor, dense ? 1.0 : 1.6));
  for (const QPolygonF& line : marks_.closeLines) {
    if (line.size() > 1) {
      p.drawPolyline(line);
    } else {
      p.setBrush(kCloseColor);
      p.drawEllipse(line.front(), 2.5, 2.5);
      p.setBrush(Qt::NoBrush);
    }
  }
  p.setRenderHint(QPainter::Antialiasing, true);
  // The ten registered positions above their bars, the marked days below.
  const bool onCandles = marks_.style == chart::PriceStyle::Candles || marks_.style == chart::PriceStyle::HighLow;
  for (std::size_t i = range_.first; i < range_.end(); ++i) {
    const bool marked = !markedDays_.empty() && markedDays_.count(s.days[i]);
    if (!s.registered[i] && !marked) continue;
    const Bar& b = bars[i];
    const bool ranged = onCandles && b.hasRange();
    const double x = xOf(i), yClose = yOf(yen(b.close));
    if (s.registered[i]) {
      p.setPen(QPen(kRegisteredColor, 1.2));
      p.setBrush(Qt::white);
      p.drawEllipse(QPointF(x, ranged ? std::max(yOf(yen(b.high)) - 6, pane.top() + 4) : yClose), 3.2, 3.2);
    }
    if (marked) {
      p.setPen(Qt::NoPen);
      p.setBrush(kMarkedColor);
      const QRectF& strip = marks_.markStrip;
      if (strip.isEmpty()) {
        const double y = std::min((ranged ? yOf(yen(b.low)) : yClose) + 8, pane.bottom() - 2);
        p.drawPolygon(QPolygonF({QPointF(x, y - 6), QPointF(x - 4.5, y + 2), QPointF(x + 4.5, y + 2)}));
      } else if (const double step = plotArea().width() / static_cast<double>(std::max<std::size_t>(range_.count, 1));
                 step >= 7) {
        p.drawPolygon(QPolygonF(
            {QPointF(x, strip.top() + 1), QPointF(x - 4.5, strip.bottom() - 1), QPointF(x + 4.5, strip.bottom() - 1)}));
      } else {
        // Dense days: a tick each, one pixel column or more.
        p.drawRect(
            QRectF(x - std::max(0.5, step / 2 - 0.5), strip.top() + 1, std::max(1.0, step - 1), strip.height() - 2));
      }
    }
  }
  p.setBrush(Qt::NoBrush);
  p.setClipping(false);

  // Legend.
  p.setRenderHint(QPainter::Antialiasing, false);
  double x = kLeft + 2;
  const double y = kTop / 2.0;
  auto label = [&](const QString& text) {
    p.setPen(Qt::black);
    p.drawText(QPointF(x, y + fm.ascent() / 2.0 - 1), text);
    x += fm.horizontalAdvance(text) + 14;
  };
  auto swatch = [&](const QColor& c, const QString& text) {
    p.setPen(QPen(c, 2));
    p.drawLine(QPointF(x, y), QPointF(x + 16, y));
    x += 20;
    label(text);
  };
  if (marks_.style == chart::PriceStyle::Line) {
    swatch(kCloseColor, QStringLiteral("終値"));
  } else {
    p.fillRect(QRectF(x, y - 5, 5, 10), kRisingColor);
    p.fillRect(QRectF(x + 8, y - 4, 5, 8), kFallingColor);
    x += 18;
    label(QStringLiteral("ローソク足"));
  }
  for (int k = 0; k < 3; ++k)
    if (shown_[static_cast<size_t>(k)])
      swatch(averageColor(k), QString::number(periods_[static_cast<size_t>(k)]) + unitSuffix(unit_));
  p.setRenderHint(QPainter::Antialiasing, true);
  p.setPen(QPen(kRegisteredColor, 1.2));
  p.drawEllipse(QPointF(x + 4, y), 3.2, 3.2);
  x += 12;
  label(QStringLiteral("登録中の10期間"));
  if (!markedDays_.empty()) {
    p.setPen(Qt::NoPen);
    p.setBrush(kMarkedColor);
    p.drawPolygon(QPolygonF({QPointF(x + 4, y - 5), QPointF(x - 0.5, y + 3), QPointF(x + 8.5, y + 3)}));
    p.setBrush(Qt::NoBrush);
    x += 14;
    label(markedLabel_);
  }
}

void ChartCanvas::paintCrosshair(QPainter& p) {
  if (!drawable() || !crosshair_ || *crosshair_ < range_.first || *crosshair_ >= range_.end()) return;
  const chart::ChartSeries& s = *series_;
  const std::size_t i = *crosshair_;
  const QRectF& pane = marks_.pricePane;
  const QRectF& volumePane = marks_.volumePane;
  const QFontMetrics fm = fontMetrics();
  const QPointF pt(xOf(i), yOf(yen(s.bars[i].close)));
  p.setRenderHint(QPainter::Antialiasing, true);
  p.setClipRect(plotArea().adjusted(1, 1, -1, -1));
  p.setPen(QPen(QColor(0x60, 0x60, 0x60), 1, Qt::DashLine));
  p.drawLine(QPointF(pt.x(), pane.top()), QPointF(pt.x(), volumePane.isEmpty() ? pane.bottom() : volumePane.bottom()));
  if (pane.contains(QPointF(pane.center().x(), pt.y()))) {
    p.drawLine(QPointF(pane.left(), pt.y()), QPointF(pane.right(), pt.y()));
    p.setPen(QPen(kCloseColor, 1.5));
    p.setBrush(Qt::white);
    p.drawEllipse(pt, 4, 4);
  }
  p.setClipping(false);
  // The close on the price axis.
  const QString price = QString::fromStdString(chart::priceLabel(s.bars[i].close));
  const double boxY = std::clamp(pt.y(), pane.top(), pane.bottom());
  const QRectF priceBox(pane.right() + 1, boxY - fm.height() / 2.0 - 1, kRight - 2, fm.height() + 2);
  p.fillRect(priceBox, kCloseColor);
  p.setPen(Qt::white);
  p.drawText(priceBox.adjusted(3, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter, price);

  // The bar's date and prices in a box in the upper corner away from the crosshair.
  QStringList lines;
  for (const std::string& line : chart::barDetails(s, i, unit_)) lines << QString::fromStdString(line);
  double w = 0;
  for (const QString& line : lines) w = std::max(w, static_cast<double>(fm.horizontalAdvance(line)));
  const double boxW = w + 14, boxH = lines.size() * fm.height() + 8;
  double left = pane.left() + 6;
  if (pt.x() < left + boxW + 12) left = pane.right() - 6 - boxW;
  const QRectF box(left, pane.top() + 6, boxW, boxH);
  p.setRenderHint(QPainter::Antialiasing, false);
  p.setPen(QColor(0x90, 0x90, 0x90));
  p.setBrush(QColor(255, 255, 255, 235));
  p.drawRect(box);
  p.setBrush(Qt::NoBrush);
  p.setPen(Qt::black);
  for (int k = 0; k < lines.size(); ++k)
    p.drawText(QPointF(box.left() + 7, box.top() + 4 + k * fm.height() + fm.ascent()), lines[k]);
}

}  // namespace tavrin::ui
