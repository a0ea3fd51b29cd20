#pragma once
#include <optional>
#include <string>
#include <string_view>

namespace tavrin {

// The granularity of one price database. The words are compared exactly:
// "Day" is no unit.
enum class PeriodUnit { Day, Week, Month };

std::optional<PeriodUnit> parsePeriodUnit(std::string_view word);
const char* unitWord(PeriodUnit unit);    // "day", "week", "month"
const char* periodWord(PeriodUnit unit);  // 日, 週, 月
// Screening grid title of ratio n (1..9): "1日前", "1週前", "1月前".
std::string screeningRatioTitle(PeriodUnit unit, int n);
// Registration window title of position p (2..10): "1日前", "1週間前", "1月前".
std::string registrationPositionTitle(PeriodUnit unit, int position);
// Insert button caption: "一日挿入", "一週挿入", "一月挿入".
const char* insertCaption(PeriodUnit unit);

inline constexpr const char* kLatestTitle = "直近";

}  // namespace tavrin
