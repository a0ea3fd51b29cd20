#include "base/calendar.h"

#include <algorithm>

#include <cctype>
#include <cmath>
#include <cstdio>

#include "base/text.h"

namespace tavrin {

namespace {
bool isDigit(char c) { return c >= '0' && c <= '9'; }
}  // namespace

namespace {

bool digitsOnly(const std::string& s, size_t from, size_t count) {
  if (from + count > s.size()) return false;
  for (size_t i = from; i < from + count; ++i)
    if (!std::isdigit(static_cast<unsigned char>(s[i]))) return false;
  return true;
}

int number(const std::string& s, size_t from, size_t count) { return std::stoi(s.substr(from, count)); }

// Days between 1899-12-30 (day 0 of spreadsheet date serials) and 1970-01-01.
constexpr int kSerialEpoch = 25569;

}  // namespace

// Civil-date arithmetic after H. Hinnant's days_from_civil.
std::optional<int> dayFromCivil(int y, int m, int d) {
  if (y < 1 || y > 9999 || m < 1 || m > 12 || d < 1) return std::nullopt;
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
  if (d > kDays[m - 1] + (m == 2 && leap ? 1 : 0)) return std::nullopt;
  y -= m <= 2;
  const int era = (y >= 0 ? y : y - 399) / 400;
  const int yoe = y - era * 400;
  const int doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

void civilFromDay(int z, int& year, int& month, int& day) {
  z += 719468;
  const int era = (z >= 0 ? z : z - 146096) / 146097;
  const int doe = z - era * 146097;
  const int yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int mp = (5 * doy + 2) / 153;
  day = doy - (153 * mp + 2) / 5 + 1;
  month = mp < 10 ? mp + 3 : mp - 9;
  year = yoe + era * 400 + (month <= 2);
}

std::string isoDate(int dayNumber) {
  int y, m, d;
  civilFromDay(dayNumber, y, m, d);
  char buf[40];  // room for any int, so that no output can be cut
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", y, m, d);
  return buf;
}

std::string recordDate(int dayNumber) {
  int y, m, d;
  civilFromDay(dayNumber, y, m, d);
  return twoDigitDate(y, m, d, "/");
}

std::optional<int> dayFromRecordDate(const std::string& t) {
  if (t.size() != 8 || t[2] != '/' || t[5] != '/') return std::nullopt;
  if (!digitsOnly(t, 0, 2) || !digitsOnly(t, 3, 2) || !digitsOnly(t, 6, 2)) return std::nullopt;
  return dayFromCivil(2000 + number(t, 0, 2), number(t, 3, 2), number(t, 6, 2));
}

std::optional<int> parseHistoryDate(std::string_view t) {
  while (!t.empty() && (t.front() == ' ' || t.front() == '\t')) t.remove_prefix(1);
  while (!t.empty() && (t.back() == ' ' || t.back() == '\t')) t.remove_suffix(1);
  const std::size_t cut = t.find_first_of(" T");
  if (cut != std::string_view::npos) t = t.substr(0, cut);
  if (t.size() == 8 && std::all_of(t.begin(), t.end(), isDigit)) {
    auto n = [&](std::size_t from, std::size_t count) {
      int v = 0;
      for (std::size_t i = from; i < from + count; ++i) v = v * 10 + (t[i] - '0');
      return v;
    };
    return dayFromCivil(n(0, 4), n(4, 2), n(6, 2));
  }
  int parts[3];
  std::size_t widths[3];
  std::size_t pos = 0;
  char sep = 0;
  for (int i = 0; i < 3; ++i) {
    const std::size_t start = pos;
    int v = 0;
    while (pos < t.size() && isDigit(t[pos]) && pos - start < 5) v = v * 10 + (t[pos++] - '0');
    widths[i] = pos - start;
    if (widths[i] == 0 || widths[i] > 4) return std::nullopt;
    parts[i] = v;
    if (i < 2) {
      if (pos >= t.size() || (t[pos] != '-' && t[pos] != '/' && t[pos] != '.')) return std::nullopt;
      if (sep && t[pos] != sep) return std::nullopt;
      sep = t[pos++];
    }
  }
  if (pos != t.size() || widths[1] > 2 || widths[2] > 2) return std::nullopt;
  if (widths[0] == 4) return dayFromCivil(parts[0], parts[1], parts[2]);
  if (widths[0] == 2) return dayFromCivil(2000 + parts[0], parts[1], parts[2]);
  return std::nullopt;
}

std::string slashDate(int dayNumber) {
  int y, m, d;
  civilFromDay(dayNumber, y, m, d);
  char buf[40];
  std::snprintf(buf, sizeof buf, "%04d/%02d/%02d", y, m, d);
  return buf;
}

std::tm localNow() {
  const std::time_t t = std::time(nullptr);
  std::tm tm{};
  localtime_r(&t, &tm);
  return tm;
}

std::string twoDigitDate(int year, int month, int day, std::string_view separator) {
  char buf[32];
  const std::string sep(separator);
  std::snprintf(buf, sizeof buf, "%02d%s%02d%s%02d", ((year % 100) + 100) % 100, sep.c_str(),
                ((month % 100) + 100) % 100, sep.c_str(), ((day % 100) + 100) % 100);
  return buf;
}

std::optional<int> dayOfCell(const Value& cell) {
  if (cell.isText()) return parseHistoryDate(trimmed(foldFullWidth(cell.textValue())));
  if (!cell.isInteger() && !cell.isReal()) return std::nullopt;
  const double v = cell.isInteger() ? static_cast<double>(cell.integer()) : cell.real();
  if (!std::isfinite(v)) return std::nullopt;
  if (v >= 19000101 && v <= 29991231 && v == std::floor(v)) {
    const auto n = static_cast<long long>(v);
    return dayFromCivil(static_cast<int>(n / 10000), static_cast<int>(n / 100 % 100), static_cast<int>(n % 100));
  }
  if (v >= 1 && v < 2958466) return static_cast<int>(std::floor(v)) - kSerialEpoch;  // a date serial, time dropped
  return std::nullopt;
}

}  // namespace tavrin
