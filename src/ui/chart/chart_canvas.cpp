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
const QColor kCloseColor(0x1f, 0x3a, 0x93);
const QColor kRegisteredColor(0xd0, 0x20, 0x20);
const QColor kMarkedColor(0xc0, 0x10, 0xc0);
const QColor kGridColor(0xe4, 0xe4, 0xe4);
const QColor kMajorGridColor(0xb8, 0xb8, 0xb8);

QString priceText(double v, double step) {
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
  update();
}

void ChartCanvas::setRange(chart::IndexRange range) {
  range_ = range;
  if (crosshair_ && (*crosshair_ < range_.first || *crosshair_ >= range_.end())) crosshair_.reset();
  update();
}

void ChartCanvas::setAverageShown(int which, bool shown) {
  if (which < 0 || which > 2) return;
  shown_[static_cast<size_t>(which)] = shown;
  update();
}

void ChartCanvas::setMarkedDays(std::unordered_set<int> days, QString label) {
  markedDays_ = std::move(days);
  markedLabel_ = std::move(label);
  update();
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

void ChartCanvas::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), Qt::white);
  const QRectF a = plotArea();
  p.setPen(kMajorGridColor);
  p.drawRect(a);
  const QFontMetrics fm = fontMetrics();

  if (!series_ || series_->empty() || range_.count == 0 || range_.end() > series_->size()) {
    p.setPen(Qt::darkGray);
    p.drawText(a, Qt::AlignCenter, QStringLiteral("表示できる株価がありません"));
    return;
  }
  const chart::ChartSeries& s = *series_;

  // The values of the range: closes and the averages shown.
  double lo = static_cast<double>(s.closes[range_.first]), hi = lo;
  for (std::size_t i = range_.first; i < range_.end(); ++i) {
    lo = std::min(lo, static_cast<double>(s.closes[i]));
    hi = std::max(hi, static_cast<double>(s.closes[i]));
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
  lo -= pad;
  hi += pad;
  auto yOf = [&](double v) { return a.bottom() - (v - lo) * a.height() / (hi - lo); };

  // Price axis.
  const std::vector<double> ticks = chart::valueTicks(lo, hi, std::max(2, static_cast<int>(a.height() / 42)));
  const double step = ticks.size() > 1 ? ticks[1] - ticks[0] : 1.0;
  for (double t : ticks) {
    const double y = yOf(t);
    p.setPen(kGridColor);
    p.drawLine(QPointF(a.left() + 1, y), QPointF(a.right() - 1, y));
    p.setPen(Qt::black);
    p.drawText(QRectF(a.right() + 4, y - fm.height() / 2.0, kRight - 6, fm.height()), Qt::AlignLeft | Qt::AlignVCenter,
               priceText(t, step));
  }

  // Date axis.
  const std::size_t maxLabels =
      static_cast<std::size_t>(std::max(1.0, a.width() / (fm.horizontalAdvance("2026/12") + 16)));
  for (const chart::DateLabel& l : chart::dateLabels(s, range_, unit_, maxLabels)) {
    const double x = xOf(l.index);
    p.setPen(l.major ? kMajorGridColor : kGridColor);
    p.drawLine(QPointF(x, a.top() + 1), QPointF(x, a.bottom() - 1));
    p.setPen(Qt::black);
    const QString text = QString::fromStdString(l.text);
    const double w = fm.horizontalAdvance(text);
    p.drawText(QPointF(std::clamp(x - w / 2, 0.0, width() - w), a.bottom() + fm.ascent() + 4), text);
  }

  p.setRenderHint(QPainter::Antialiasing, true);
  p.setClipRect(a.adjusted(1, 1, -1, -1));
  // More points than pixel columns: each column is drawn as the first, lowest,
  // highest and last value that falls in it, which looks the same and keeps
  // the painting quick for long histories.
  const bool dense = static_cast<double>(range_.count) > a.width();
  p.setRenderHint(QPainter::Antialiasing, !dense);
  auto drawLine = [&](auto valueAt) {
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
      if (run.size() > 1) p.drawPolyline(run);
      run.clear();
    };
    for (std::size_t i = range_.first; i < range_.end(); ++i) {
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
  };
  for (int k = 2; k >= 0; --k) {
    if (!shown_[static_cast<size_t>(k)]) continue;
    const auto& v = averages_[static_cast<size_t>(k)];
    p.setPen(QPen(averageColor(k), 1.2));
    drawLine([&](std::size_t i) { return i < v.size() ? v[i] : std::nullopt; });
  }
  // Closes.
  p.setPen(QPen(kCloseColor, dense ? 1.0 : 1.6));
  if (range_.count == 1)
    p.drawEllipse(QPointF(xOf(range_.first), yOf(static_cast<double>(s.closes[range_.first]))), 2.5, 2.5);
  else
    drawLine([&](std::size_t i) { return std::optional<double>(static_cast<double>(s.closes[i])); });
  p.setRenderHint(QPainter::Antialiasing, true);
  // The ten registered positions and the marked days.
  for (std::size_t i = range_.first; i < range_.end(); ++i) {
    if (!s.registered[i] && (markedDays_.empty() || !markedDays_.count(s.days[i]))) continue;
    const QPointF pt(xOf(i), yOf(static_cast<double>(s.closes[i])));
    if (s.registered[i]) {
      p.setPen(QPen(kRegisteredColor, 1.2));
      p.setBrush(Qt::white);
      p.drawEllipse(pt, 3.2, 3.2);
    }
    if (!markedDays_.empty() && markedDays_.count(s.days[i])) {
      p.setPen(Qt::NoPen);
      p.setBrush(kMarkedColor);
      const double y = std::min(pt.y() + 8, a.bottom() - 2);
      p.drawPolygon(QPolygonF({QPointF(pt.x(), y - 6), QPointF(pt.x() - 4.5, y + 2), QPointF(pt.x() + 4.5, y + 2)}));
    }
  }
  p.setBrush(Qt::NoBrush);

  // Crosshair.
  if (crosshair_ && *crosshair_ >= range_.first && *crosshair_ < range_.end()) {
    const std::size_t i = *crosshair_;
    const QPointF pt(xOf(i), yOf(static_cast<double>(s.closes[i])));
    p.setPen(QPen(QColor(0x60, 0x60, 0x60), 1, Qt::DashLine));
    p.drawLine(QPointF(pt.x(), a.top()), QPointF(pt.x(), a.bottom()));
    p.drawLine(QPointF(a.left(), pt.y()), QPointF(a.right(), pt.y()));
    p.setPen(QPen(kCloseColor, 1.5));
    p.setBrush(Qt::white);
    p.drawEllipse(pt, 4, 4);
    p.setClipping(false);
    const QString price = QString::fromStdString(groupedCount(s.closes[i]));
    const QRectF box(a.right() + 1, pt.y() - fm.height() / 2.0 - 1, kRight - 2, fm.height() + 2);
    p.fillRect(box, kCloseColor);
    p.setPen(Qt::white);
    p.drawText(box.adjusted(3, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter, price);
    p.setBrush(Qt::NoBrush);
  }
  p.setClipping(false);

  // Legend.
  p.setRenderHint(QPainter::Antialiasing, false);
  double x = kLeft + 2;
  const double y = kTop / 2.0;
  auto swatch = [&](const QColor& c, const QString& text) {
    p.setPen(QPen(c, 2));
    p.drawLine(QPointF(x, y), QPointF(x + 16, y));
    x += 20;
    p.setPen(Qt::black);
    p.drawText(QPointF(x, y + fm.ascent() / 2.0 - 1), text);
    x += fm.horizontalAdvance(text) + 14;
  };
  swatch(kCloseColor, QStringLiteral("終値"));
  for (int k = 0; k < 3; ++k)
    if (shown_[static_cast<size_t>(k)])
      swatch(averageColor(k), QString::number(periods_[static_cast<size_t>(k)]) + unitSuffix(unit_));
  p.setRenderHint(QPainter::Antialiasing, true);
  p.setPen(QPen(kRegisteredColor, 1.2));
  p.drawEllipse(QPointF(x + 4, y), 3.2, 3.2);
  p.setPen(Qt::black);
  const QString registered = QStringLiteral("登録中の10期間");
  p.drawText(QPointF(x + 12, y + fm.ascent() / 2.0 - 1), registered);
  x += 12 + fm.horizontalAdvance(registered) + 14;
  if (!markedDays_.empty()) {
    p.setPen(Qt::NoPen);
    p.setBrush(kMarkedColor);
    p.drawPolygon(QPolygonF({QPointF(x + 4, y - 5), QPointF(x - 0.5, y + 3), QPointF(x + 8.5, y + 3)}));
    p.setBrush(Qt::NoBrush);
    p.setPen(Qt::black);
    p.drawText(QPointF(x + 14, y + fm.ascent() / 2.0 - 1), markedLabel_);
  }
}

}  // namespace tavrin::ui
