#include "history/price_history.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <map>

#include "base/log.h"
#include "data/splits.h"
#include "data/stock_code.h"

namespace tavrin {

namespace {

// Sorts by day; of two bars of one day the later one put stays.
void sortAndDeduplicate(std::vector<Bar>& bars) {
  if (std::adjacent_find(bars.begin(), bars.end(), [](const Bar& a, const Bar& b) { return a.day >= b.day; }) ==
      bars.end())
    return;  // already in order, one bar a day
  std::stable_sort(bars.begin(), bars.end(), [](const Bar& a, const Bar& b) { return a.day < b.day; });
  std::size_t w = 0;
  for (std::size_t r = 0; r < bars.size(); ++r) {
    if (w > 0 && bars[w - 1].day == bars[r].day)
      bars[w - 1] = bars[r];
    else
      bars[w++] = bars[r];
  }
  bars.resize(w);
}

// Reads stored history: every stock, or one (code given), in stored order.
// The callback gets each stock's bars oldest first.
void scanStored(Database& db, const Value* code, const std::function<void(const Value&, std::vector<Bar>&)>& given,
                HistoryPrices prices = HistoryPrices::AsTraded) {
  const bool blocks = db.tableExists(kHistoryTable);
  if (!blocks && !db.tableExists(kClosesTable)) return;
  std::unordered_map<std::string, std::vector<Split>> splits;
  if (prices == HistoryPrices::Adjusted) {
    // One stock's read asks for its own splits only (the checks read stock after stock).
    if (code) {
      if (std::optional<std::string> key = codeKey(*code)) splits[*key] = splitsOfStoredCode(db, *code);
      if (!splits.empty() && splits.begin()->second.empty()) splits.clear();
    } else {
      splits = readSplits(db);
    }
  }
  const std::function<void(const Value&, std::vector<Bar>&)> adjusting = [&](const Value& c, std::vector<Bar>& bars) {
    if (const std::optional<std::string> key = codeKey(c))
      if (const auto hit = splits.find(*key); hit != splits.end()) adjustBars(bars, hit->second);
    given(c, bars);
  };
  const std::function<void(const Value&, std::vector<Bar>&)>& fn = splits.empty() ? given : adjusting;
  // Blocks, or, in an earlier file not yet written to, its whole-yen closes.
  Statement st(
      db, blocks ? (code ? "select [コード], [block], [bars] from [history_bars] where [コード] = ? order by [block]"
                         : "select [コード], [block], [bars] from [history_bars] order by [コード], [block]")
                 : (code ? "select [コード], [day], [close] from [history] where [コード] = ? order by [day]"
                         : "select [コード], [day], [close] from [history] order by [コード], [day]"));
  if (code) st.bind(1, *code);
  Value current;
  bool any = false;
  std::vector<Bar> bars;
  while (st.step()) {
    Value c = st.column(0);
    if (!any || !(c == current)) {
      if (any) fn(current, bars);
      bars.clear();
      current = std::move(c);
      any = true;
    }
    const Value key = st.column(1);
    if (blocks) {
      if (!key.isInteger() || !decodeBarBlock(static_cast<int>(key.integer()), st.columnBytes(2), bars))
        logLine("history", "a stored block of " + current.display() + " cannot be read; left out");
      continue;
    }
    const std::optional<double> close = st.column(2).asNumber();
    const std::optional<std::int32_t> tenths = close ? tenthsOfPrice(*close) : std::nullopt;
    if (!key.isInteger() || !tenths) continue;
    Bar b;
    b.day = static_cast<int>(key.integer());
    b.close = *tenths;
    bars.push_back(b);
  }
  if (any) fn(current, bars);
}

std::string keyOf(const Value& code) {
  if (std::optional<std::string> k = codeKey(code)) return *k;
  return code.isText() ? "\x01" + code.textValue() : "\x02" + code.display();
}

}  // namespace

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

struct HistoryWriter::Impl {
  Database& db;
  Existing existing;
  struct Pending {
    Value code;
    std::vector<Bar> bars;
  };
  std::unordered_map<std::string, std::size_t> index;
  std::vector<Pending> pending;
  std::optional<Statement> select, upsert;
  std::size_t written = 0;
  std::size_t last = SIZE_MAX;  // the slot of the stock put last
  bool ensured = false;

  Impl(Database& d, Existing e) : db(d), existing(e) {}

  void writeStock(const Value& code, std::vector<Bar>& bars) {
    if (bars.empty()) return;
    sortAndDeduplicate(bars);
    if (!ensured) {
      ensureHistoryTable(db);
      ensured = true;
    }
    if (!select) {
      select.emplace(db, "select [block], [bars] from [history_bars] where [コード] = ? and [block] between ? and ?");
      upsert.emplace(db, "insert or replace into [history_bars] ([コード], [block], [bars]) values (?, ?, ?)");
    }
    const int firstBlock = barBlockOf(bars.front().day), lastBlock = barBlockOf(bars.back().day);
    std::map<int, std::string> stored;
    select->bind(1, code);
    select->bind(2, Value(static_cast<std::int64_t>(firstBlock)));
    select->bind(3, Value(static_cast<std::int64_t>(lastBlock)));
    while (select->step()) stored.emplace(static_cast<int>(select->column(0).integer()), select->columnBytes(1));
    select->reset();

    std::vector<Bar> merged, old;
    std::size_t i = 0;
    while (i < bars.size()) {
      const int block = barBlockOf(bars[i].day);
      std::size_t j = i;
      while (j < bars.size() && barBlockOf(bars[j].day) == block) ++j;
      merged.clear();
      const auto hit = stored.find(block);
      old.clear();
      if (hit != stored.end() && !decodeBarBlock(block, hit->second, old))
        logLine("history", "a stored block of " + code.display() + " cannot be read; replaced");
      // Merge the two sorted runs.
      std::size_t a = 0, b = i;
      while (a < old.size() || b < j) {
        if (b == j || (a < old.size() && old[a].day < bars[b].day)) {
          merged.push_back(old[a++]);
        } else if (a == old.size() || bars[b].day < old[a].day) {
          merged.push_back(bars[b++]);
          ++written;
        } else {  // the same day in both
          if (existing == Existing::Replace) {
            merged.push_back(bars[b]);
            ++written;
          } else {
            merged.push_back(old[a]);
          }
          ++a;
          ++b;
        }
      }
      upsert->bind(1, code);
      upsert->bind(2, Value(static_cast<std::int64_t>(block)));
      upsert->bindBlob(3, encodeBarBlock(block, merged));
      upsert->step();
      upsert->reset();
      i = j;
    }
  }
};

HistoryWriter::HistoryWriter(Database& db, Existing existing) : impl_(std::make_unique<Impl>(db, existing)) {}
HistoryWriter::~HistoryWriter() = default;

void HistoryWriter::put(const Value& code, const Bar& bar) {
  if (bar.close <= 0) return;
  Impl& m = *impl_;
  // Bars mostly come stock by stock: the last stock's slot is tried first.
  if (m.last < m.pending.size() && m.pending[m.last].code == code) {
    m.pending[m.last].bars.push_back(bar);
    return;
  }
  auto [it, added] = m.index.emplace(keyOf(code), m.pending.size());
  if (added) m.pending.push_back({code, {}});
  m.last = it->second;
  m.pending[it->second].bars.push_back(bar);
}

void HistoryWriter::putClose(const Value& code, int day, std::int64_t closeYen) {
  if (closeYen <= 0 || closeYen > kMaxPriceTenths / 10) return;
  Bar b;
  b.day = day;
  b.close = static_cast<std::int32_t>(closeYen * 10);
  put(code, b);
}

void HistoryWriter::flush() {
  for (Impl::Pending& p : impl_->pending) impl_->writeStock(p.code, p.bars);
  impl_->pending.clear();
  impl_->index.clear();
  impl_->last = SIZE_MAX;
}

std::size_t HistoryWriter::written() const { return impl_->written; }

std::size_t keepPositionsInHistory(Database& db, const DateRecord& record) {
  HistoryWriter writer(db, HistoryWriter::Existing::Keep);
  const bool adjusted = db.tableExists(kSplitPositionsTable);  // positions a split changed
  for (int k = 1; k <= 10; ++k) {
    const std::optional<int> day = dayFromRecordDate(record.dates[static_cast<size_t>(k - 1)]);
    if (!day) continue;
    const std::string col = "[kabuka" + std::to_string(k) + "]";
    Statement st(db, "select [コード], " + col + " from [list] where [コード] is not null and " + col + " is not null");
    while (st.step()) {
      std::optional<double> close = st.column(1).asNumber();
      if (close && adjusted && st.column(1).isInteger())
        close = static_cast<double>(
            asTradedPosition(db, st.column(0), record.dates[static_cast<size_t>(k - 1)], st.column(1).integer()));
      const std::optional<std::int32_t> tenths = close ? tenthsOfPrice(*close) : std::nullopt;
      if (!tenths) continue;
      Bar b;
      b.day = *day;
      b.close = *tenths;
      writer.put(st.column(0), b);
    }
  }
  writer.flush();
  return writer.written();
}

void forEachStockHistory(Database& db, const std::function<void(const Value& code, const std::vector<Bar>& bars)>& fn,
                         HistoryPrices prices) {
  scanStored(
      db, nullptr, [&](const Value& code, std::vector<Bar>& bars) { fn(code, bars); }, prices);
}

std::vector<Bar> readHistory(Database& db, const Value& code, HistoryPrices prices) {
  std::vector<Bar> out;
  if (code.isNull()) return out;
  scanStored(
      db, &code, [&](const Value&, std::vector<Bar>& bars) { out = std::move(bars); }, prices);
  return out;
}

namespace {

Value storedCode(Database& db, const std::string& key) {
  Value code = historyCodeValue(key);
  if (db.tableExists("list")) {
    Statement st(db, "select [コード] from [list] where [コード] = ? limit 1");
    st.bind(1, code);
    if (st.step()) code = st.column(0);
  }
  return code;
}

}  // namespace

std::vector<Bar> readHistory(Database& db, const std::string& key, HistoryPrices prices) {
  return readHistory(db, storedCode(db, key), prices);
}

std::vector<HistoryDay> historyDays(Database& db) {
  // Each day's stocks (by index in stored order), then one walk over the
  // days comparing each with the complete day before it. Days from the
  // exchange's reopening on a century and a half ahead go into a flat table;
  // any other day (a file of another program) into a map.
  constexpr int kFirst = -7535;  // 1949-05-16
  constexpr int kSpan = 55000;
  std::vector<std::vector<std::uint32_t>> flat(kSpan);
  std::map<int, std::vector<std::uint32_t>> other;
  std::uint32_t stock = 0;
  forEachStockHistory(
      db,
      [&](const Value&, const std::vector<Bar>& bars) {
        for (const Bar& b : bars) {
          const int at = b.day - kFirst;
          if (at >= 0 && at < kSpan)
            flat[static_cast<std::size_t>(at)].push_back(stock);
          else
            other[b.day].push_back(stock);
        }
        ++stock;
      },
      HistoryPrices::AsTraded);
  std::vector<HistoryDay> out;
  std::vector<std::uint32_t> mark(stock, 0);
  std::uint32_t stamp = 0;
  std::size_t completeStocks = 0;
  auto walk = [&](int day, const std::vector<std::uint32_t>& stocks) {
    HistoryDay d;
    d.day = day;
    d.stocks = stocks.size();
    if (stamp > 0) {
      std::size_t shared = 0;
      for (std::uint32_t s : stocks) shared += mark[s] == stamp ? 1 : 0;
      d.complete = shared * 2 >= completeStocks;
    }
    if (d.complete) {
      ++stamp;
      for (std::uint32_t s : stocks) mark[s] = stamp;
      completeStocks = stocks.size();
    }
    out.push_back(d);
  };
  auto o = other.begin();
  for (; o != other.end() && o->first < kFirst; ++o) walk(o->first, o->second);
  for (int at = 0; at < kSpan; ++at)
    if (!flat[static_cast<std::size_t>(at)].empty()) walk(kFirst + at, flat[static_cast<std::size_t>(at)]);
  for (; o != other.end(); ++o) walk(o->first, o->second);
  return out;
}

std::vector<int> latestHistoryDays(Database& db, int count) {
  std::vector<int> out;
  const std::vector<HistoryDay> days = historyDays(db);
  for (auto it = days.rbegin(); it != days.rend() && static_cast<int>(out.size()) < count; ++it)
    if (it->complete) out.push_back(it->day);
  return out;
}

std::optional<int> latestHistoryDay(Database& db) {
  std::optional<int> latest;
  if (db.tableExists(kHistoryTable)) {
    // The latest block is found from the keys alone; only its blocks are read.
    Statement top(db, "select max([block]) from [history_bars]");
    if (!top.step() || !top.column(0).isInteger()) return latest;
    const int block = static_cast<int>(top.column(0).integer());
    Statement st(db, "select [bars] from [history_bars] where [block] = ?");
    st.bind(1, Value(static_cast<std::int64_t>(block)));
    std::vector<Bar> bars;
    while (st.step()) {
      if (!decodeBarBlock(block, st.columnBytes(0), bars) || bars.empty()) continue;
      if (!latest || bars.back().day > *latest) latest = bars.back().day;
    }
  } else if (db.tableExists(kClosesTable)) {
    Statement st(db, "select max([day]) from [history]");
    if (st.step() && st.column(0).isInteger()) latest = static_cast<int>(st.column(0).integer());
  }
  return latest;
}

std::int64_t historyRowCount(Database& db) {
  std::int64_t n = 0;
  forEachStockHistory(
      db, [&](const Value&, const std::vector<Bar>& bars) { n += static_cast<std::int64_t>(bars.size()); },
      HistoryPrices::AsTraded);
  return n;
}

PositionsOutcome setPositionsFromHistory(Database& db, std::optional<int> atDay) {
  PositionsOutcome out;
  auto failed = [&](PositionsFailure f, std::string detail) {
    out = PositionsOutcome{};
    out.fail(f, std::move(detail));
    logLine("history positions", out.detail);
    return out;
  };
  try {
    Transaction tx(db);
    const std::vector<HistoryDay> days = historyDays(db);
    if (days.empty()) return failed(PositionsFailure::NoHistory, "the history holds no closes");
    std::size_t last = days.size();  // one past the latest day that may be set
    if (atDay) {
      const auto it =
          std::lower_bound(days.begin(), days.end(), *atDay, [](const HistoryDay& d, int day) { return d.day < day; });
      if (it == days.end() || it->day != *atDay)
        return failed(PositionsFailure::NoSuchDay, "no closes on " + isoDate(*atDay));
      if (!it->complete)
        return failed(PositionsFailure::Incomplete,
                      isoDate(*atDay) + " is incomplete (" + std::to_string(it->stocks) + " stocks)");
      last = static_cast<std::size_t>(it - days.begin()) + 1;
    }
    for (std::size_t i = last; i-- > 0 && out.days.size() < 10;)
      if (days[i].complete) out.days.push_back(days[i].day);
    // The incomplete days passed over: later than the latest day set, up to
    // atDay (which is complete itself) or the end of the history.
    for (std::size_t i = 0; i < last; ++i)
      if (!days[i].complete && (out.days.empty() || days[i].day > out.days.front()))
        out.incompleteAfter.push_back(days[i]);

    DateRecord rec = readDateRecord(db).value_or(DateRecord{});
    for (size_t k = 0; k < 10; ++k) {
      rec.dates[k] = k < out.days.size() ? recordDate(out.days[k]) : std::string();
      rec.sourceNames[k].clear();
    }
    writeDateRecord(db, rec);

    std::string clear = "update [list] set ";
    for (size_t k = 0; k < 10; ++k)
      clear += std::string(k ? ", " : "") + "[kabuka" + std::to_string(k + 1) + "] = null";
    clear += " where [コード] is null or cast([コード] as text) <> '1000'";
    out.stocks = static_cast<std::size_t>(db.execute(clear));

    std::string set = "update [list] set ";
    for (size_t k = 0; k < 10; ++k) set += std::string(k ? ", " : "") + "[kabuka" + std::to_string(k + 1) + "] = ?";
    set += " where [コード] = ? and cast([コード] as text) <> '1000'";
    Statement update(db, set);
    // The positions are written as traded, then adjusted for the splits
    // after their days (which keeps what they were, for a split removed).
    forEachStockHistory(
        db,
        [&](const Value& code, const std::vector<Bar>& bars) {
          bool any = false;
          for (size_t k = 0; k < 10; ++k) {
            Value v;
            if (k < out.days.size()) {
              const auto it = std::lower_bound(bars.begin(), bars.end(), out.days[k],
                                               [](const Bar& b, int day) { return b.day < day; });
              if (it != bars.end() && it->day == out.days[k]) {
                v = Value(wholeYen(it->close));
                any = true;
              }
            }
            update.bind(static_cast<int>(k + 1), v);
          }
          if (any) {
            update.bind(11, code);
            update.step();
          }
          update.reset();
        },
        HistoryPrices::AsTraded);
    if (db.tableExists(kSplitsTable)) {
      db.exec("delete from [split_positions]");
      rewriteAllSplitPositions(db);
    }
    out.withLatest = static_cast<std::size_t>(
        db.scalar("select count(*) from [list] where [kabuka1] is not null and cast([コード] as text) <> '1000'")
            .integer());
    tx.commit();
  } catch (const std::exception& e) {
    return failed(PositionsFailure::Database, e.what());
  }
  return out;
}

RemovalOutcome removeFromHistory(Database& db, std::optional<int> day, const std::optional<Value>& code) {
  RemovalOutcome out;
  if (!day && !code) {
    out.fail(RemovalFailure::NothingChosen, "neither a day nor a stock given");
    return out;
  }
  try {
    Transaction tx(db);
    if (!hasHistoryTable(db)) {
      tx.commit();
      return out;
    }
    ensureHistoryTable(db);
    std::map<int, bool> daysHit;
    if (!day) {
      // One stock's whole history.
      const std::vector<Bar> bars = readHistory(db, *code, HistoryPrices::AsTraded);
      for (const Bar& b : bars) daysHit[b.day] = true;
      out.bars = bars.size();
      out.stocks = bars.empty() ? 0 : 1;
      db.execute("delete from [history_bars] where [コード] = ?", {*code});
    } else {
      const int block = barBlockOf(*day);
      Statement st(db, code ? "select [コード], [bars] from [history_bars] where [block] = ? and [コード] = ?"
                            : "select [コード], [bars] from [history_bars] where [block] = ?");
      st.bind(1, Value(static_cast<std::int64_t>(block)));
      if (code) st.bind(2, *code);
      std::vector<std::pair<Value, std::vector<Bar>>> changed;
      std::vector<Bar> bars;
      while (st.step()) {
        bars.clear();
        if (!decodeBarBlock(block, st.columnBytes(1), bars)) continue;
        const auto it = std::find_if(bars.begin(), bars.end(), [&](const Bar& b) { return b.day == *day; });
        if (it == bars.end()) continue;
        bars.erase(it);
        changed.emplace_back(st.column(0), bars);
      }
      Statement put(db, "update [history_bars] set [bars] = ? where [コード] = ? and [block] = ?");
      Statement drop(db, "delete from [history_bars] where [コード] = ? and [block] = ?");
      for (const auto& [c, rest] : changed) {
        if (rest.empty()) {
          drop.bind(1, c);
          drop.bind(2, Value(static_cast<std::int64_t>(block)));
          drop.step();
          drop.reset();
        } else {
          put.bindBlob(1, encodeBarBlock(block, rest));
          put.bind(2, c);
          put.bind(3, Value(static_cast<std::int64_t>(block)));
          put.step();
          put.reset();
        }
      }
      out.bars = changed.size();
      out.stocks = changed.size();
      if (!changed.empty()) daysHit[*day] = true;
    }
    out.days = daysHit.size();
    tx.commit();
  } catch (const std::exception& e) {
    out = RemovalOutcome{};
    out.fail(RemovalFailure::Database, e.what());
    logLine("history remove", out.detail);
  }
  return out;
}

}  // namespace tavrin
