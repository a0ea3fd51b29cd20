#pragma once
#include <QColor>
#include <QLineF>
#include <QPixmap>
#include <QPolygonF>
#include <QRectF>
#include <QString>
#include <QVector>
#include <QWidget>
#include <array>
#include <optional>
#include <unordered_set>
#include <vector>

#include "chart/chart_data.h"

namespace tavrin::ui {

// The drawing of the chart window: candlesticks where a bar has open, high and
// low (the line of the closes elsewhere), a volume pane under the prices, the
// moving averages that are switched on, the ten registered positions, marked
// days, date labels, the axes and a crosshair that follows the mouse.
class ChartCanvas : public QWidget {
  Q_OBJECT
 public:
  explicit ChartCanvas(QWidget* parent = nullptr);

  // The series and its averages (shortest first); resets the crosshair.
  void setSeries(const chart::ChartSeries* series, chart::ChartUnit unit,
                 std::array<std::vector<std::optional<double>>, 3> averages, std::array<int, 3> periods);
  void setRange(chart::IndexRange range);
  chart::IndexRange range() const { return range_; }
  void setAverageShown(int which, bool shown);
  bool averageShown(int which) const { return shown_[static_cast<size_t>(which)]; }
  void setMarkedDays(std::unordered_set<int> days, QString label);
  const std::unordered_set<int>& markedDays() const { return markedDays_; }
  // The point under the crosshair (nothing when the mouse is away).
  std::optional<std::size_t> crosshair() const { return crosshair_; }
  // Puts the crosshair on a point (keyboard and tests); nothing hides it.
  void setCrosshair(std::optional<std::size_t> index);
  // The point nearest to a horizontal position in the widget.
  std::optional<std::size_t> indexAt(int x) const;
  // The horizontal centre of a point of the range.
  double xOf(std::size_t index) const;

  // What is drawn for the prices and volumes at the present size, in widget
  // coordinates: bodies and wicks by colour, the lines of closes, the
  // columns of a range denser than the pixels, the volume bars. Built once
  // per change and drawn with one call per kind.
  struct Marks {
    chart::PriceStyle style = chart::PriceStyle::Line;
    QRectF pricePane, volumePane;  // volumePane empty when no bar of the range has a volume
    QRectF markStrip;              // under the prices, for the marked days (empty without them)
    double low = 0, high = 1;      // the price axis, yen
    double volumeTop = 1;          // the volume at the top of its pane
    QVector<QRectF> risingBodies, fallingBodies, volumeBars;
    QVector<QLineF> risingWicks, fallingWicks, evenStrokes, columns;
    std::vector<QPolygonF> closeLines;  // runs of bars with a close alone
  };
  const Marks& marks();
  // The vertical position of a price in yen on the price pane.
  double priceY(double yen);

  QSize sizeHint() const override { return {820, 460}; }
  QSize minimumSizeHint() const override { return {360, 220}; }

  static QColor averageColor(int which);
  static QColor risingColor();
  static QColor fallingColor();

 signals:
  void crosshairMoved();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void leaveEvent(QEvent* event) override;

 private:
  QRectF plotArea() const;
  void invalidate();
  bool drawable() const;
  void buildMarks();
  void paintBackground(QPainter& p);
  void paintCrosshair(QPainter& p);
  double yOf(double yen) const;

  const chart::ChartSeries* series_ = nullptr;
  chart::ChartUnit unit_ = chart::ChartUnit::Day;
  std::array<std::vector<std::optional<double>>, 3> averages_;
  std::array<int, 3> periods_{};
  std::array<bool, 3> shown_{true, true, true};
  chart::IndexRange range_;
  std::unordered_set<int> markedDays_;
  QString markedLabel_;
  std::optional<std::size_t> crosshair_;

  // Everything but the crosshair, drawn again only after a change, so that
  // moving the mouse repaints the picture and the crosshair over it.
  Marks marks_;
  bool marksValid_ = false;
  QPixmap background_;
  bool backgroundValid_ = false;
};

}  // namespace tavrin::ui
