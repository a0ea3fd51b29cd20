#pragma once
#include <QColor>
#include <QString>
#include <QWidget>
#include <array>
#include <optional>
#include <unordered_set>
#include <vector>

#include "chart/chart_data.h"

namespace tavrin::ui {

// The drawing of the chart window: closes by trading period, the moving
// averages that are switched on, the ten registered positions, marked days,
// date labels, a price axis and a crosshair that follows the mouse.
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

  QSize sizeHint() const override { return {820, 460}; }
  QSize minimumSizeHint() const override { return {360, 220}; }

  static QColor averageColor(int which);

 signals:
  void crosshairMoved();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void leaveEvent(QEvent* event) override;

 private:
  QRectF plotArea() const;

  const chart::ChartSeries* series_ = nullptr;
  chart::ChartUnit unit_ = chart::ChartUnit::Day;
  std::array<std::vector<std::optional<double>>, 3> averages_;
  std::array<int, 3> periods_{};
  std::array<bool, 3> shown_{true, true, true};
  chart::IndexRange range_;
  std::unordered_set<int> markedDays_;
  QString markedLabel_;
  std::optional<std::size_t> crosshair_;
};

}  // namespace tavrin::ui
