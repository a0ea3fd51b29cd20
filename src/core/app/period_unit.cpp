#include "app/period_unit.h"

namespace tavrin {

std::optional<PeriodUnit> parsePeriodUnit(std::string_view word) {
  if (word == "day") return PeriodUnit::Day;
  if (word == "week") return PeriodUnit::Week;
  if (word == "month") return PeriodUnit::Month;
  return std::nullopt;
}

const char* unitWord(PeriodUnit unit) {
  switch (unit) {
    case PeriodUnit::Day: return "day";
    case PeriodUnit::Week: return "week";
    case PeriodUnit::Month: return "month";
  }
  return "";
}

const char* periodWord(PeriodUnit unit) {
  switch (unit) {
    case PeriodUnit::Day: return "日";
    case PeriodUnit::Week: return "週";
    case PeriodUnit::Month: return "月";
  }
  return "";
}

std::string screeningRatioTitle(PeriodUnit unit, int n) { return std::to_string(n) + periodWord(unit) + "前"; }

std::string registrationPositionTitle(PeriodUnit unit, int position) {
  const int n = position - 1;
  if (unit == PeriodUnit::Week) return std::to_string(n) + "週間前";
  return std::to_string(n) + periodWord(unit) + "前";
}

const char* insertCaption(PeriodUnit unit) {
  switch (unit) {
    case PeriodUnit::Day: return "一日挿入";
    case PeriodUnit::Week: return "一週挿入";
    case PeriodUnit::Month: return "一月挿入";
  }
  return "";
}

}  // namespace tavrin
