#include "history/price_history.h"

#include <cctype>
#include <cstdio>

#include "base/log.h"
#include "data/stock_code.h"

namespace tavrin {

namespace {}  // namespace

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
    if (out.days.empty()) {
      out = PositionsOutcome{};
      out.fail(PositionsFailure::NoHistory, "the history holds no closes");
      logLine("history positions", out.detail);
      return out;
    }
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
  } catch (const std::exception& e) {
    out = PositionsOutcome{};
    out.fail(PositionsFailure::Database, e.what());
    logLine("history positions", out.detail);
  }
  return out;
}

}  // namespace tavrin
