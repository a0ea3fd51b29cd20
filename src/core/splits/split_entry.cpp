#include "splits/split_entry.h"

#include <algorithm>

#include "base/calendar.h"
#include "base/files.h"
#include "base/log.h"
#include "data/stock_code.h"
#include "history/price_history.h"

namespace tavrin {

std::vector<std::filesystem::path> splitTargets(const Paths& paths,
                                                const std::optional<std::filesystem::path>& opened) {
  const std::vector<std::filesystem::path> standard = {paths.dailyDb(), paths.weeklyDb(), paths.monthlyDb()};
  std::error_code ec;
  if (opened && !opened->empty()) {
    bool isStandard = false;
    for (const auto& p : standard)
      isStandard = isStandard || std::filesystem::equivalent(p, *opened, ec) || p == *opened;
    if (!isStandard) return {*opened};
  }
  std::vector<std::filesystem::path> out;
  for (const auto& p : standard)
    if (std::filesystem::is_regular_file(p, ec)) out.push_back(p);
  return out;
}

namespace {

// The code as the schema's list stores it, when the stock is there.
std::optional<Value> listedCode(Database& db, const std::string& schema, const std::string& key) {
  if (db.scalar("select count(*) from [" + schema + "].sqlite_master where type = 'table' and name = 'list'")
          .integer() == 0)
    throw DatabaseError("not a price database (no table list)", DatabaseFailure::NotADatabase);
  Statement st(db, "select [コード] from [" + schema + "].[list]");
  while (st.step()) {
    Value code = st.column(0);
    if (codeKey(code) == key) return code;
  }
  return std::nullopt;
}

// Runs `change` on every file in one transaction: the first file is opened,
// the others attached. A file that is missing, locked or not a price
// database fails the whole change, and the outcome names it.
// `finish` may still refuse the change before the commit.
template <class Change, class Finish>
SplitOutcome overAll(const std::vector<std::filesystem::path>& files, const char* what, SplitOutcome out, Change change,
                     Finish finish) {
  if (files.empty()) {
    out.fail(SplitFailure::NoTargets, "no price database");
    return out;
  }
  const std::filesystem::path* current = &files.front();
  try {
    Database db(files.front(), Database::Mode::ReadWrite);
    const std::vector<std::string> schemas = attachDatabases(db, files, [&](std::size_t i) { current = &files[i]; });
    Transaction tx(db, Transaction::Begin::Deferred);
    for (std::size_t i = 0; i < files.size(); ++i) {
      current = &files[i];
      SplitDatabaseReport r;
      r.database = files[i];
      change(db, schemas[i], r, out);
      if (!out.done()) return out;
      out.reports.push_back(std::move(r));
    }
    current = &files.front();
    finish(out);
    if (!out.done()) {
      out.reports.clear();
      return out;
    }
    tx.commit();
  } catch (const std::exception& e) {
    out.reports.clear();
    out.fail(SplitFailure::Database, e.what());
    out.failedDatabase = *current;
    logLine(what, toUtf8(*current) + ": " + e.what());
  }
  return out;
}

}  // namespace

SplitOutcome addSplit(const std::vector<std::filesystem::path>& files, const std::string& key, int exDay,
                      const SplitRatio& ratio, SplitSource source) {
  SplitOutcome out;
  out.split.day = exDay;
  out.split.ratio = ratio;
  out.split.source = source;
  out.split.code = historyCodeValue(key);
  if (ratio.isOne()) {
    out.fail(SplitFailure::SameRatio, "a ratio of 1:1 changes nothing");
    return out;
  }
  bool listed = false;
  out = overAll(
      files, "split add", out,
      [&](Database& db, const std::string& schema, SplitDatabaseReport& r, SplitOutcome& o) {
        const std::optional<Value> code = listedCode(db, schema, key);
        if (code) {
          listed = true;
          if (schema == "main") o.split.code = *code;
        }
        ensureSplitTables(db, schema);
        const Value stored = code.value_or(historyCodeValue(key));
        for (const Split& s : readSplitsOf(db, key, schema))
          if (s.day == exDay && !o.replaced) o.replaced = s.ratio;
        db.execute("delete from [" + schema + "].[splits] where [コード] = ? and [day] = ?",
                   {stored, Value(static_cast<std::int64_t>(exDay))});
        db.execute(
            "insert into [" + schema + "].[splits] ([コード], [day], [ratio], [source]) values (?, ?, ?, ?)",
            {stored, Value(static_cast<std::int64_t>(exDay)), Value(ratio.value()), Value(splitSourceName(source))});
        r.positions = rewriteSplitPositions(db, key, schema);
      },
      [&](SplitOutcome& o) {
        if (!listed) o.fail(SplitFailure::NotInList, key + " is in no list of the price databases");
      });
  return out;
}

SplitOutcome removeSplit(const std::vector<std::filesystem::path>& files, const std::string& key, int exDay) {
  SplitOutcome out;
  out.split.day = exDay;
  out.split.code = historyCodeValue(key);
  bool found = false;
  out = overAll(
      files, "split remove", out,
      [&](Database& db, const std::string& schema, SplitDatabaseReport& r, SplitOutcome& o) {
        ensureSplitTables(db, schema);
        for (const Split& s : readSplitsOf(db, key, schema)) {
          if (s.day != exDay) continue;
          if (!found) {
            o.split = s;
            found = true;
          }
          db.execute("delete from [" + schema + "].[splits] where [コード] = ? and [day] = ?",
                     {s.code, Value(static_cast<std::int64_t>(exDay))});
        }
        r.positions = rewriteSplitPositions(db, key, schema);
      },
      [&](SplitOutcome& o) {
        if (!found) o.fail(SplitFailure::NoSuchSplit, "no split of " + key + " on " + isoDate(exDay));
      });
  return out;
}

std::vector<Split> listSplits(Database& db, const std::optional<std::string>& key) {
  std::vector<Split> out;
  for (auto& [k, splits] : readSplits(db))
    if (!key || k == *key) out.insert(out.end(), splits.begin(), splits.end());
  std::sort(out.begin(), out.end(), [](const Split& a, const Split& b) {
    const std::string ka = codeKey(a.code).value_or(""), kb = codeKey(b.code).value_or("");
    return ka != kb ? ka < kb : a.day < b.day;
  });
  return out;
}

std::vector<SplitCandidate> splitCandidates(Database& db, const std::optional<std::string>& key) {
  std::vector<SplitCandidate> out;
  for (HistoryFinding& f : checkHistory(db, key)) {
    if (f.kind != FindingKind::Step) continue;
    const std::optional<SplitRatio> ratio = splitRatioOf(f.ratio);
    if (!ratio) continue;
    SplitCandidate c;
    c.code = f.code;
    c.exDay = f.day;
    c.ratio = *ratio;
    c.finding = std::move(f);
    out.push_back(std::move(c));
  }
  return out;
}

}  // namespace tavrin
