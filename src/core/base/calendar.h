#pragma once
#include <ctime>
#include <optional>
#include <string>
#include <string_view>

#include "base/value.h"

namespace tavrin {

// Day numbers. A civil date that does not exist gives nothing.
std::optional<int> dayFromCivil(int year, int month, int day);
void civilFromDay(int dayNumber, int& year, int& month, int& day);
// "2026-12-08"
std::string isoDate(int dayNumber);
// "2026/12/08"
std::string slashDate(int dayNumber);
// "26/12/08", the date record's form.
std::string recordDate(int dayNumber);
// The date record's "yy/mm/dd" (two-digit years are 20yy); nothing when it is
// not a real date.
std::optional<int> dayFromRecordDate(const std::string& text);
// A date as history files write it: YYYYMMDD, YYYY-MM-DD, YYYY/MM/DD (one- or
// two-digit month and day), yy/mm/dd or yy-mm-dd (20yy), optionally followed
// by a time after a blank or "T". Nothing for anything else.
std::optional<int> parseHistoryDate(std::string_view text);

// A day in a date column: text as history files write it (YYYYMMDD,
// YYYY-MM-DD, YYYY/M/D), a number YYYYMMDD, or a spreadsheet date serial.
std::optional<int> dayOfCell(const Value& cell);

// The local date and time now.
std::tm localNow();

// Two digits each of year (its last two), month and day joined by the
// separator: "26/12/08" with "/", "261208" with "".
std::string twoDigitDate(int year, int month, int day, std::string_view separator);

}  // namespace tavrin
