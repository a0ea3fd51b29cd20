#include "data/price_schema.h"

#include "base/calendar.h"
#include "base/files.h"
#include "data/price_bars.h"
#include "data/universe_table.h"

namespace tavrin {

namespace {

constexpr const char* kHistoryDdl =
    "CREATE TABLE IF NOT EXISTS [history_bars] ([コード] INTEGER NOT NULL, [block] INTEGER NOT NULL, "
    "[bars] BLOB NOT NULL, PRIMARY KEY ([コード], [block])) WITHOUT ROWID";

// Files of earlier versions kept one whole-yen close per row in [history]
// ([コード], [day], [close]); their closes move into blocks once.
void moveClosesIntoBlocks(Database& db) {
  Statement read(db, "select [コード], [day], [close] from [history] order by [コード], [day]");
  Statement write(db, "insert or replace into [history_bars] ([コード], [block], [bars]) values (?, ?, ?)");
  Value code;
  int block = 0;
  bool open = false;
  std::vector<Bar> bars;
  auto emit = [&] {
    if (!open || bars.empty()) return;
    write.bind(1, code);
    write.bind(2, Value(static_cast<std::int64_t>(block)));
    write.bindBlob(3, encodeBarBlock(block, bars));
    write.step();
    write.reset();
    bars.clear();
  };
  while (read.step()) {
    Value c = read.column(0);
    const Value dayValue = read.column(1);
    const std::optional<double> close = read.column(2).asNumber();
    if (!dayValue.isInteger() || !close) continue;
    const int day = static_cast<int>(dayValue.integer());
    const std::optional<std::int32_t> tenths = tenthsOfPrice(*close);
    if (!tenths) continue;
    if (!open || !(c == code) || barBlockOf(day) != block) {
      emit();
      code = std::move(c);
      block = barBlockOf(day);
      open = true;
    }
    Bar b;
    b.day = day;
    b.close = *tenths;
    bars.push_back(b);
  }
  emit();
  db.exec("DROP TABLE [history]");
}

const std::array<UniverseInfo, 23> kUniverses = {{
    {1, "全市場", "list1plus", "全市場銘柄", 0x778FD0},
    {2, "１部", "list1plus-1bu", "1部市場銘柄", 0xC0C000},
    {3, "２部", "list1plus-2bu", "2部市場銘柄", 0x808000},
    {4, "新興", "list1plus-tentou", "新興市場銘柄", 0xF8A08B},
    {5, "千株", "list1plus-1000U", "売買1000株銘柄", 0x00FF00},
    {6, "百株", "list1plus-100U", "売買100株銘柄", 0x80FF80},
    {7, "一株", "list1plus-001U", "売買1株銘柄", 0x61A5DC},
    {8, "１部　1～20万", "list1plus-to1low", "東証１部・２０万円以下銘柄", 0x8CE6B7},
    {9, "30～50万", "list1plus-30", "３０～５０万円の銘柄", 0x00FF00},
    {10, "百株10-30万", "list1plus-d100-30", "百株・１０～３０万円の銘柄", 0x00FF00},
    {11, "１０万以下", "list1plus-10", "１０万以下の銘柄", 0x00FF00},
    {12, "20～30万", "list1plus-10-30", "２０～３０万円の銘柄", 0x00FF00},
    {13, "東１千株・20万", "list1plus-f-20", "東証１部・千株・２０万円以下の銘柄", 0x00FF00},
    {14, "１部　2～40万", "list1plus-a1-10", "一株・２０～４０万円銘柄", 0x00FF00},
    {15, "50～100万", "list1plus-50up", "５０万円以上銘柄", 0x00FF00},
    {16, "10～20万", "list1plus-10-20", "１０～２０万円銘柄", 0x00FF00},
    {17, "特殊単位", "list1plus-bce", "売買単位＜10 50 500 株＞", 0x00FF00},
    {18, "百株30万以上", "list1plus-d100+30", "百株・３０万円～の銘柄", 0x00FF00},
    {19, "一株30万以上", "list1plus-a1+10", "一株・１０～３０万円銘柄", 0x00FF00},
    {20, "100万以上", "list1plus-100up", "１００万円以上の銘柄", 0x00FF00},
    {21, "１部　4～60万", "list1plus-f1000+30", "一部・４０～６０万円銘柄", 0x00FF00},
    {22, "トレンド注目銘柄", "", "トレンド注目銘柄", 0x00FF00},
    {23, "注目銘柄（Orvel）", "", "注目銘柄", 0x00FF00},
}};

std::string quoteIdent(const std::string& name) { return "[" + name + "]"; }
}  // namespace

const std::array<UniverseInfo, 23>& universes() { return kUniverses; }

const UniverseInfo* universeByIndex(int index) {
  if (index < 1 || index > 23) return nullptr;
  return &kUniverses[static_cast<size_t>(index - 1)];
}

std::string universeQuery(int index) {
  const UniverseInfo* u = universeByIndex(index);
  if (!u || !*u->viewName) return {};
  return std::string("select * from [") + u->viewName + "]";
}

const std::vector<std::string>& priceListColumns() {
  static const std::vector<std::string> cols = {"ID",      "銘柄",    "コード",  "市場",    "単位",    "市場区分",
                                                "kabuka1", "kabuka2", "kabuka3", "kabuka4", "kabuka5", "kabuka6",
                                                "kabuka7", "kabuka8", "kabuka9", "kabuka10"};
  return cols;
}

std::string ratioColumn(int n) { return "ratio" + std::to_string(n); }

std::string ratioColumnList() {
  std::string list;
  for (int n = 1; n <= kRatioColumns; ++n) list += (n > 1 ? ", [" : "[") + ratioColumn(n) + "]";
  return list;
}

std::string ratioExpression(int n) {
  const std::string k1 = "[kabuka1]";
  const std::string kn = "[kabuka" + std::to_string(n + 1) + "]";
  // 100 * (kn - k1) / k1, rounded half away from zero in exact arithmetic.
  const std::string num = "(100 * (" + kn + " - " + k1 + "))";
  return "(case when " + k1 + " is null or " + kn + " is null or " + k1 + " = 0 then null else " + "(case when (" +
         num + " < 0) <> (" + k1 + " < 0) then -1 else 1 end) * " + "cast((2 * abs(" + num + ") + abs(" + k1 +
         ")) / (2 * abs(" + k1 + ")) as integer) end)";
}

namespace {
// The cost of one lot in yen.
constexpr const char* kCost = "([kabuka1] * [単位])";

std::string joined(const std::vector<std::string>& parts, const std::string& separator) {
  std::string out;
  for (const std::string& p : parts) out += (out.empty() ? "" : separator) + p;
  return out;
}

std::string bandSql(const CostBand& b) {
  const std::string cost = kCost;
  if (b.from && b.upTo && !b.below)
    return cost + " between " + std::to_string(*b.from) + " and " + std::to_string(*b.upTo);
  std::vector<std::string> parts;
  if (b.from) parts.push_back(cost + " >= " + std::to_string(*b.from));
  if (b.below) parts.push_back(cost + " < " + std::to_string(*b.below));
  if (b.upTo) parts.push_back(cost + " <= " + std::to_string(*b.upTo));
  // A band without bounds still leaves out the rows without a price.
  if (parts.empty()) parts.push_back(cost + " is not null");
  return joined(parts, " and ");
}

// The WHERE condition of a universe's view over list, made from its rule
// ("[単位] = 100 and ([kabuka1] * [単位]) >= 300000"); empty: every row.
std::string universeFilterSql(int index) {
  const UniverseRule* rule = universeRule(index);
  if (!rule) return {};
  std::vector<std::string> parts;
  if (!rule->markets.empty()) {
    std::vector<std::string> words;
    for (std::string_view m : rule->markets) {
      std::string quoted = "'";
      for (char c : m) quoted += c == '\'' ? std::string("''") : std::string(1, c);
      words.push_back(quoted + "'");
    }
    parts.push_back("[市場] in (" + joined(words, ",") + ")");
  }
  if (rule->units.size() == 1) {
    parts.push_back("[単位] = " + std::to_string(rule->units.front()));
  } else if (!rule->units.empty()) {
    std::vector<std::string> units;
    for (int u : rule->units) units.push_back(std::to_string(u));
    parts.push_back("[単位] in (" + joined(units, ", ") + ")");
  }
  if (rule->band) parts.push_back(bandSql(*rule->band));
  return joined(parts, " and ");
}

// The statement that creates a universe's view (in the schema's file when one is named).
std::string viewDefinition(const UniverseInfo& u, const std::string& schema) {
  std::string select = "select [ID], [銘柄], [コード], [市場], [単位], [kabuka1], [kabuka10]";
  for (int n = 1; n <= kRatioColumns; ++n) select += ", " + ratioExpression(n) + " as [" + ratioColumn(n) + "]";
  select += " from [list]";
  std::string sql = "create view " + (schema.empty() ? std::string() : quoteIdent(schema) + ".") +
                    quoteIdent(u.viewName) + " as " + select;
  const std::string filter = universeFilterSql(u.index);
  if (!filter.empty()) sql += " where " + filter;
  return sql;
}
}  // namespace

void createUniverseViews(Database& db) {
  for (const auto& u : kUniverses) {
    if (!*u.viewName) continue;
    db.exec("drop view if exists " + quoteIdent(u.viewName));
    db.exec(viewDefinition(u, ""));
  }
}

int refreshUniverseViews(Database& db, const std::string& schema) {
  int changed = 0;
  const std::string prefix = quoteIdent(schema) + ".";
  for (const auto& u : kUniverses) {
    if (!*u.viewName) continue;
    // SQLite keeps the statement with its first words in capitals and the
    // schema name left out: the query from "select" on is compared.
    const std::string wanted = viewDefinition(u, "");
    const Value stored =
        db.scalar("select sql from " + prefix + "sqlite_master where type = 'view' and name = ?", {u.viewName});
    const auto body = [](const std::string& sql) {
      const auto at = sql.find(" as select ");
      return at == std::string::npos ? std::string() : sql.substr(at);
    };
    if (stored.isText() && !body(wanted).empty() && body(stored.textValue()) == body(wanted)) continue;
    db.exec("drop view if exists " + prefix + quoteIdent(u.viewName));
    db.exec(viewDefinition(u, schema));
    ++changed;
  }
  return changed;
}

void ensurePriceSchema(Database& db, const std::string& unitWord) {
  auto listDdl = [](const std::string& table) {
    std::string sql =
        "create table if not exists " + quoteIdent(table) +
        " ([ID] integer primary key, [銘柄] text, [コード] integer, [市場] text, [単位] integer, [市場区分] text";
    for (int i = 1; i <= 10; ++i) sql += ", [kabuka" + std::to_string(i) + "] integer";
    return sql + ")";
  };
  db.exec(listDdl("list"));
  db.exec(listDdl("hojyo"));
  std::string dates = "create table if not exists [日付] ([ID] integer primary key";
  for (int i = 1; i <= 21; ++i) dates += ", [kabuka" + std::to_string(i) + "] text";
  db.exec(dates + ")");
  if (db.scalar("select count(*) from [日付]").integer() == 0)
    db.execute("insert into [日付] ([kabuka11]) values (?)", {unitWord});
  bool haveViews = true;
  for (const auto& u : kUniverses)
    if (*u.viewName && !db.tableExists(u.viewName)) haveViews = false;
  if (!haveViews) createUniverseViews(db);
  ensureHistoryTable(db);
}

void createPriceDatabase(const std::filesystem::path& path, const std::string& unitWord) {
  if (std::filesystem::exists(path)) throw DatabaseError("file exists: " + toUtf8(path));
  Database db(path, Database::Mode::Create);
  // Larger pages: the whole-table rewrites of the registration (the insert
  // moves every row of list and copies it to hojyo) touch, journal and sync a
  // quarter as many pages. Only an empty file takes the setting.
  db.exec("pragma page_size = 16384");
  Transaction tx(db);
  ensurePriceSchema(db, unitWord);
  tx.commit();
}

std::optional<DateRecord> readDateRecord(Database& db) {
  if (!db.tableExists("日付")) return std::nullopt;
  std::string sql = "select ";
  for (int i = 1; i <= 21; ++i) sql += std::string(i > 1 ? ", " : "") + "[kabuka" + std::to_string(i) + "]";
  sql += " from [日付] order by rowid limit 1";
  QueryResult r = db.query(sql);
  if (r.rows.empty()) return std::nullopt;
  DateRecord rec;
  const Row& row = r.rows.front();
  for (int i = 0; i < 10; ++i) rec.dates[i] = row[i].display();
  rec.unit = row[10].display();
  for (int i = 0; i < 10; ++i) rec.sourceNames[i] = row[11 + i].display();
  return rec;
}

std::optional<DateRecord> readDateRecord(const std::filesystem::path& dbPath) {
  try {
    Database db = openForReading(dbPath);
    return readDateRecord(db);
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

void writeDateRecord(Database& db, const DateRecord& record) {
  std::vector<Value> params;
  std::string set;
  for (int i = 1; i <= 21; ++i) {
    set += std::string(i > 1 ? ", " : "") + "[kabuka" + std::to_string(i) + "] = ?";
    if (i <= 10)
      params.emplace_back(record.dates[i - 1]);
    else if (i == 11)
      params.emplace_back(record.unit);
    else
      params.emplace_back(record.sourceNames[i - 12]);
  }
  if (db.scalar("select count(*) from [日付]").integer() == 0) db.exec("insert into [日付] default values");
  db.execute("update [日付] set " + set + " where rowid = (select min(rowid) from [日付])", params);
}

bool isPlainNumberCode(const std::string& code) {
  if (code.empty() || code.size() > 18) return false;
  for (char c : code)
    if (c < '0' || c > '9') return false;
  return true;
}

std::string codeSqlLiteral(const std::string& code) {
  if (isPlainNumberCode(code)) {
    // Strip leading zeros the way a number would read ("07203" is 7203).
    size_t i = 0;
    while (i + 1 < code.size() && code[i] == '0') ++i;
    return code.substr(i);
  }
  std::string out = "'";
  for (char c : code) {
    if (c == '\'')
      out += "''";
    else
      out += c;
  }
  return out + "'";
}

void ensureHistoryTable(Database& db) {
  db.exec(kHistoryDdl);
  if (db.tableExists(kClosesTable)) moveClosesIntoBlocks(db);
}

bool hasHistoryTable(Database& db) { return db.tableExists(kHistoryTable) || db.tableExists(kClosesTable); }

std::optional<AppliedStockList> readAppliedStockList(Database& db, const std::string& schema) {
  if (db.scalar("select count(*) from [" + schema +
                "].sqlite_master where type = 'table' and name = 'stock_list_source'")
          .integer() == 0)
    return std::nullopt;
  Statement st(db, "select [日付], [source] from [" + schema + "].[stock_list_source] order by rowid limit 1");
  if (!st.step()) return std::nullopt;
  const std::optional<int> day = parseHistoryDate(st.column(0).display());
  if (!day) return std::nullopt;
  return AppliedStockList{*day, st.column(1).display()};
}

void writeAppliedStockList(Database& db, const std::string& schema, const AppliedStockList& list) {
  const std::string t = "[" + schema + "].[stock_list_source]";
  db.exec("create table if not exists " + t + " ([日付] text not null, [source] text)");
  db.exec("delete from " + t);
  Statement st(db, "insert into " + t + " ([日付], [source]) values (?, ?)");
  st.bindAll({Value(isoDate(list.day)), Value(list.source)});
  st.step();
}

}  // namespace tavrin
