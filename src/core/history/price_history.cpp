#include "history/price_history.h"

#include <cctype>
#include <cstdio>

#include "app/log.h"
#include "registration/workbook.h"

namespace tavrin {

namespace {

constexpr const char* kHistoryDdl =
    "CREATE TABLE IF NOT EXISTS [history] ([コード] INTEGER NOT NULL, [day] INTEGER NOT NULL, [close] INTEGER, "
    "PRIMARY KEY ([コード], [day])) WITHOUT ROWID";

bool digitsOnly(const std::string& s, size_t from, size_t count) {
  if (from + count > s.size()) return false;
  for (size_t i = from; i < from + count; ++i)
    if (!std::isdigit(static_cast<unsigned char>(s[i]))) return false;
  return true;
}

int number(const std::string& s, size_t from, size_t count) { return std::stoi(s.substr(from, count)); }

}  // namespace

void ensureHistoryTable(Database& db) { db.exec(kHistoryDdl); }

bool hasHistoryTable(Database& db) { return db.tableExists(kHistoryTable); }

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
  char buf[16];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", y, m, d);
  return buf;
}

std::string recordDate(int dayNumber) {
  int y, m, d;
  civilFromDay(dayNumber, y, m, d);
  char buf[16];
  std::snprintf(buf, sizeof buf, "%02d/%02d/%02d", y % 100, m, d);
  return buf;
}

std::optional<int> dayFromRecordDate(const std::string& t) {
  if (t.size() != 8 || t[2] != '/' || t[5] != '/') return std::nullopt;
  if (!digitsOnly(t, 0, 2) || !digitsOnly(t, 3, 2) || !digitsOnly(t, 6, 2)) return std::nullopt;
  return dayFromCivil(2000 + number(t, 0, 2), number(t, 3, 2), number(t, 6, 2));
}

std::optional<int> parseHistoryDate(const std::string& raw) {
  size_t b = 0, e = raw.size();
  while (b < e && (raw[b] == ' ' || raw[b] == '\t')) ++b;
  while (e > b && (raw[e - 1] == ' ' || raw[e - 1] == '\t')) --e;
  std::string t = raw.substr(b, e - b);
  const size_t cut = t.find_first_of(" T");
  if (cut != std::string::npos) t.resize(cut);
  if (t.size() == 8 && digitsOnly(t, 0, 8)) return dayFromCivil(number(t, 0, 4), number(t, 4, 2), number(t, 6, 2));
  // Separated parts: year, month, day.
  int parts[3];
  size_t widths[3];
  size_t pos = 0;
  char sep = 0;
  for (int i = 0; i < 3; ++i) {
    size_t start = pos;
    while (pos < t.size() && std::isdigit(static_cast<unsigned char>(t[pos]))) ++pos;
    widths[i] = pos - start;
    if (widths[i] == 0 || widths[i] > 4) return std::nullopt;
    parts[i] = number(t, start, widths[i]);
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

Value historyCodeValue(const std::string& key) {
  if (isPlainNumberCode(key) && key.size() <= 18) return Value(static_cast<std::int64_t>(std::stoll(key)));
  return Value(key);
}

std::unordered_map<std::string, Value> listCodes(Database& db) {
  std::unordered_map<std::string, Value> out;
  Statement st(db, "select [コード] from [list] order by rowid");
  while (st.step()) {
    Value code = st.column(0);
    std::optional<std::string> key = codeKey(code);
    if (key) out.emplace(std::move(*key), std::move(code));
  }
  return out;
}

void HistoryWriter::put(const Value& code, int dayNumber, std::int64_t close) {
  if (!upsert_) {
    ensureHistoryTable(db_);
    upsert_.emplace(db_, "insert or replace into [history] ([コード], [day], [close]) values (?, ?, ?)");
  }
  upsert_->bind(1, code);
  upsert_->bind(2, Value(static_cast<std::int64_t>(dayNumber)));
  upsert_->bind(3, Value(close));
  upsert_->step();
  upsert_->reset();
  ++written_;
}

std::size_t keepPositionsInHistory(Database& db, const DateRecord& record) {
  std::size_t added = 0;
  bool ensured = false;
  for (int k = 1; k <= 10; ++k) {
    const std::optional<int> day = dayFromRecordDate(record.dates[static_cast<size_t>(k - 1)]);
    if (!day) continue;
    if (!ensured) {
      ensureHistoryTable(db);
      ensured = true;
    }
    const std::string col = "[kabuka" + std::to_string(k) + "]";
    added += static_cast<std::size_t>(
        db.execute("insert or ignore into [history] ([コード], [day], [close]) select [コード], ?, " + col +
                       " from [list] where [コード] is not null and " + col + " is not null",
                   {Value(static_cast<std::int64_t>(*day))}));
  }
  return added;
}

std::vector<HistoryPoint> readHistory(Database& db, const Value& code) {
  std::vector<HistoryPoint> out;
  if (!hasHistoryTable(db) || code.isNull()) return out;
  Statement st(db, "select [day], [close] from [history] where [コード] = ? order by [day]");
  st.bind(1, code);
  while (st.step()) {
    HistoryPoint p;
    p.day = static_cast<int>(st.column(0).integer());
    const Value c = st.column(1);
    if (c.isInteger())
      p.close = c.integer();
    else if (std::optional<double> n = c.asNumber())
      p.close = static_cast<std::int64_t>(*n);
    out.push_back(p);
  }
  return out;
}

std::vector<HistoryPoint> readHistory(Database& db, const std::string& key) {
  Value code = historyCodeValue(key);
  if (db.tableExists("list")) {
    Statement st(db, "select [コード] from [list] where [コード] = ? limit 1");
    st.bind(1, code);
    if (st.step()) code = st.column(0);
  }
  return readHistory(db, code);
}

std::vector<int> latestHistoryDays(Database& db, int count) {
  std::vector<int> out;
  if (!hasHistoryTable(db)) return out;
  // Walks the distinct days from the top without reading every close: each
  // step asks for the latest day before the one found.
  Statement next(db, "select max([day]) from [history] where [day] < ?");
  std::int64_t below = INT64_MAX;
  while (static_cast<int>(out.size()) < count) {
    next.bind(1, Value(below));
    Value v = next.step() ? next.column(0) : Value();
    next.reset();
    if (!v.isInteger()) break;
    below = v.integer();
    out.push_back(static_cast<int>(below));
  }
  return out;
}

std::int64_t historyRowCount(Database& db) {
  if (!hasHistoryTable(db)) return 0;
  return db.scalar("select count(*) from [history]").integer();
}

PositionsOutcome setPositionsFromHistory(Database& db) {
  PositionsOutcome out;
  try {
    Transaction tx(db);
    out.days = latestHistoryDays(db, 10);
    if (out.days.empty()) throw DatabaseError("the history holds no closes");
    DateRecord rec = readDateRecord(db).value_or(DateRecord{});
    for (size_t k = 0; k < 10; ++k) {
      rec.dates[k] = k < out.days.size() ? recordDate(out.days[k]) : std::string();
      rec.sourceNames[k].clear();
    }
    writeDateRecord(db, rec);
    std::string sql = "update [list] set ";
    for (size_t k = 0; k < 10; ++k) {
      sql += std::string(k ? ", " : "") + "[kabuka" + std::to_string(k + 1) + "] = ";
      if (k < out.days.size())
        sql += "(select h.[close] from [history] h where h.[コード] = [list].[コード] and h.[day] = " +
               std::to_string(out.days[k]) + ")";
      else
        sql += "null";
    }
    sql += " where [コード] is null or cast([コード] as text) <> '1000'";
    out.stocks = static_cast<std::size_t>(db.execute(sql));
    out.withLatest = static_cast<std::size_t>(
        db.scalar("select count(*) from [list] where [kabuka1] is not null and cast([コード] as text) <> '1000'")
            .integer());
    tx.commit();
    out.done = true;
  } catch (const std::exception& e) {
    out = PositionsOutcome{};
    out.detail = e.what();
    logLine("history positions", out.detail);
  }
  return out;
}

}  // namespace tavrin
