#pragma once
#include <QString>

namespace tavrin::ui {

// A run refused because its longest horizon reaches past the history: the
// horizon, the longest the history has after the first date tested, that
// date ("2026-01-10") and the unit's word ("日", "週", "月").
QString horizonBeyondHistoryText(int horizon, int longest, const QString& firstDate, const QString& unit);

}  // namespace tavrin::ui
