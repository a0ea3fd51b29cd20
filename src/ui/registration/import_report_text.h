#pragma once
#include <QString>
#include <QStringList>

#include "registration/price_import.h"

namespace tavrin::ui {

// The report of an import run as the registration window shows it.
QStringList importReportText(const ImportOutcome& outcome);
// "2026/12/08"
QString slashDate(int dayNumber);
// The status line for a date row that is no calendar date or repeats another.
QString dateProblemText(const ImportOutcome& outcome);

}  // namespace tavrin::ui
