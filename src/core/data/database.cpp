#include "data/database.h"

#include <sqlite3.h>
#include <unistd.h>

#include "base/files.h"

namespace tavrin {

namespace {
[[noreturn]] void fail(sqlite3* db, const std::string& what) {
  std::string msg = what;
  if (db) msg += ": " + std::string(sqlite3_errmsg(db));
  throw DatabaseError(msg);
}
}  // namespace

namespace {

// The cause of a failed opening, from SQLite's extended result code.
DatabaseFailure failureOf(int rc) {
  if (rc == SQLITE_READONLY_ROLLBACK) return DatabaseFailure::InterruptedWrite;
  switch (rc & 0xFF) {
    case SQLITE_NOTADB:
    case SQLITE_CORRUPT: return DatabaseFailure::NotADatabase;
    case SQLITE_BUSY:
    case SQLITE_LOCKED: return DatabaseFailure::Locked;
    case SQLITE_READONLY: return DatabaseFailure::ReadOnly;
    case SQLITE_PERM:
    case SQLITE_AUTH: return DatabaseFailure::Unreadable;
    default: return DatabaseFailure::Other;
  }
}

std::string failureText(DatabaseFailure kind, const std::string& file, const std::string& detail) {
  switch (kind) {
    case DatabaseFailure::Missing: return "no such database file: " + file;
    case DatabaseFailure::NotADatabase: return "not a database: " + file + " (damaged, or another kind of file)";
    case DatabaseFailure::Locked: return file + " is in use by another program (locked); try again when it is done";
    case DatabaseFailure::ReadOnly: return file + " is read-only";
    case DatabaseFailure::InterruptedWrite:
      return "an interrupted write to " + file +
             " must be finished first: open it once where the file and its folder can be written";
    case DatabaseFailure::Unreadable: return "cannot read " + file + ": permission denied";
    case DatabaseFailure::Other: break;
  }
  return "cannot open " + file + (detail.empty() ? std::string() : ": " + detail);
}

// A statement that waited in vain for another connection's write lock: the
// words of an opening refused for it, not SQLite's own.
bool busy(int rc) { return (rc & 0xFF) == SQLITE_BUSY; }

// With other files attached the lock may be on any of them, so none is named.
[[noreturn]] void failLocked(sqlite3* db, const std::filesystem::path& path) {
  const bool attached = sqlite3_db_name(db, 2) != nullptr;
  throw DatabaseError(failureText(DatabaseFailure::Locked, attached ? "a database file" : toUtf8(path), {}),
                      DatabaseFailure::Locked);
}

bool writable(const std::filesystem::path& path) {
  const std::filesystem::path dir = path.has_parent_path() ? path.parent_path() : std::filesystem::path(".");
  return ::access(path.c_str(), W_OK) == 0 && ::access(dir.c_str(), W_OK) == 0;
}

}  // namespace

bool hasLeftoverJournal(const std::filesystem::path& path) {
  std::filesystem::path journal = path;
  journal += "-journal";
  std::error_code ec;
  const auto size = std::filesystem::file_size(journal, ec);
  return !ec && size > 0;
}

Database::Database(const std::filesystem::path& path, Mode mode) : path_(path) {
  int flags = SQLITE_OPEN_FULLMUTEX;
  switch (mode) {
    case Mode::ReadWrite: flags |= SQLITE_OPEN_READWRITE; break;
    case Mode::ReadOnly: flags |= SQLITE_OPEN_READONLY; break;
    case Mode::Create: flags |= SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE; break;
  }
  const std::string file = toUtf8(path);
  if (mode != Mode::Create) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec))
      throw DatabaseError(failureText(DatabaseFailure::Missing, file, {}), DatabaseFailure::Missing);
    if (::access(path.c_str(), R_OK) != 0)
      throw DatabaseError(failureText(DatabaseFailure::Unreadable, file, {}), DatabaseFailure::Unreadable);
  }
  // A read-only connection cannot roll back what a killed writer left: a
  // writable connection does it first, when the file may be written.
  if (mode == Mode::ReadOnly && hasLeftoverJournal(path) && writable(path)) {
    try {
      Database recover(path, Mode::ReadWrite);
    } catch (const DatabaseError& e) {
      if (e.kind() == DatabaseFailure::Locked || e.kind() == DatabaseFailure::NotADatabase) throw;
    }
  }
  int rc = sqlite3_open_v2(file.c_str(), &db_, flags, nullptr);
  if (rc != SQLITE_OK) {
    const DatabaseFailure kind = failureOf(db_ ? sqlite3_extended_errcode(db_) : rc);
    std::string msg = failureText(kind, file, db_ ? sqlite3_errmsg(db_) : "out of memory");
    sqlite3_close(db_);
    db_ = nullptr;
    throw DatabaseError(msg, kind);
  }
  sqlite3_busy_timeout(db_, 2000);
  sqlite3_extended_result_codes(db_, 1);
  // Reading the schema tells a database from any other file at once.
  char* err = nullptr;
  rc = sqlite3_exec(db_, "select count(*) from sqlite_master", nullptr, nullptr, &err);
  if (rc != SQLITE_OK) {
    DatabaseFailure kind = failureOf(sqlite3_extended_errcode(db_));
    // A hot journal that this connection may not roll back shows up as a
    // refused write while reading.
    if (kind == DatabaseFailure::ReadOnly && hasLeftoverJournal(path)) kind = DatabaseFailure::InterruptedWrite;
    std::string msg = failureText(kind, file, err ? err : "");
    sqlite3_free(err);
    sqlite3_close(db_);
    db_ = nullptr;
    throw DatabaseError(msg, kind);
  }
}

Database openForReading(const std::filesystem::path& path) {
  try {
    return Database(path, Database::Mode::ReadWrite);
  } catch (const DatabaseError& e) {
    switch (e.kind()) {
      case DatabaseFailure::Missing:
      case DatabaseFailure::Locked:
      case DatabaseFailure::NotADatabase:
      case DatabaseFailure::Unreadable: throw;
      default: return Database(path, Database::Mode::ReadOnly);
    }
  }
}

Database::~Database() {
  if (db_) sqlite3_close_v2(db_);
}

void Database::exec(const std::string& sql) {
  char* err = nullptr;
  int rc = sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &err);
  if (rc != SQLITE_OK) {
    std::string msg = err ? err : "error";
    sqlite3_free(err);
    if (busy(rc)) failLocked(db_, path_);
    throw DatabaseError(msg + " [" + sql.substr(0, 200) + "]");
  }
}

int Database::execute(const std::string& sql, const std::vector<Value>& params) {
  Statement st(*this, sql);
  st.bindAll(params);
  while (st.step()) {
  }
  return sqlite3_changes(db_);
}

QueryResult Database::query(const std::string& sql, const std::vector<Value>& params) {
  Statement st(*this, sql);
  st.bindAll(params);
  QueryResult out;
  const int n = st.columnCount();
  out.fields.reserve(n);
  for (int i = 0; i < n; ++i) out.fields.push_back(st.columnName(i));
  while (st.step()) {
    Row row;
    row.reserve(n);
    for (int i = 0; i < n; ++i) row.push_back(st.column(i));
    out.rows.push_back(std::move(row));
  }
  return out;
}

Value Database::scalar(const std::string& sql, const std::vector<Value>& params) {
  Statement st(*this, sql);
  st.bindAll(params);
  if (st.step() && st.columnCount() > 0) return st.column(0);
  return {};
}

Statement Database::prepare(const std::string& sql) { return Statement(*this, sql); }

bool Database::tableExists(const std::string& name) {
  return !scalar("select 1 from sqlite_master where type in ('table','view') and name = ?", {name}).isNull();
}

std::vector<std::string> Database::columnNames(const std::string& table) {
  std::vector<std::string> out;
  Statement st(*this, "select name from pragma_table_info(?) order by cid");
  st.bind(1, table);
  while (st.step()) out.push_back(st.column(0).display());
  return out;
}

Statement::Statement(Database& db, const std::string& sql) : db_(&db) {
  const char* tail = nullptr;
  int rc = sqlite3_prepare_v2(db.handle(), sql.c_str(), static_cast<int>(sql.size()), &stmt_, &tail);
  if (rc != SQLITE_OK) {
    std::string msg = std::string(sqlite3_errmsg(db.handle())) + " [" + sql.substr(0, 300) + "]";
    sqlite3_finalize(stmt_);
    stmt_ = nullptr;
    if (busy(rc)) failLocked(db.handle(), db.path());
    throw DatabaseError(msg);
  }
  if (!stmt_) throw DatabaseError("empty statement");
  // A second statement in the same text is refused: callers hand us one query.
  if (tail) {
    while (*tail == ' ' || *tail == '\n' || *tail == '\r' || *tail == '\t' || *tail == ';') ++tail;
    if (*tail) {
      sqlite3_finalize(stmt_);
      stmt_ = nullptr;
      throw DatabaseError("more than one statement [" + sql.substr(0, 300) + "]");
    }
  }
}

Statement::~Statement() {
  if (stmt_) sqlite3_finalize(stmt_);
}

Statement::Statement(Statement&& other) noexcept : db_(other.db_), stmt_(other.stmt_) { other.stmt_ = nullptr; }

void Statement::bind(int index1, const Value& v) {
  int rc;
  if (v.isNull())
    rc = sqlite3_bind_null(stmt_, index1);
  else if (v.isInteger())
    rc = sqlite3_bind_int64(stmt_, index1, v.integer());
  else if (v.isReal())
    rc = sqlite3_bind_double(stmt_, index1, v.real());
  else
    rc = sqlite3_bind_text(stmt_, index1, v.textValue().c_str(), static_cast<int>(v.textValue().size()),
                           SQLITE_TRANSIENT);
  if (rc != SQLITE_OK) fail(db_->handle(), "bind");
}

void Statement::bindAll(const std::vector<Value>& params) {
  for (size_t i = 0; i < params.size(); ++i) bind(static_cast<int>(i + 1), params[i]);
}

bool Statement::step() {
  int rc = sqlite3_step(stmt_);
  if (rc == SQLITE_ROW) return true;
  if (rc == SQLITE_DONE) return false;
  if (busy(rc)) failLocked(db_->handle(), db_->path());
  fail(db_->handle(), "step");
}

void Statement::reset() {
  sqlite3_reset(stmt_);
  sqlite3_clear_bindings(stmt_);
}

int Statement::columnCount() const { return sqlite3_column_count(stmt_); }

std::string Statement::columnName(int i) const {
  const char* n = sqlite3_column_name(stmt_, i);
  return n ? n : "";
}

Value Statement::column(int i) const {
  switch (sqlite3_column_type(stmt_, i)) {
    case SQLITE_INTEGER: return Value(static_cast<std::int64_t>(sqlite3_column_int64(stmt_, i)));
    case SQLITE_FLOAT: return Value(sqlite3_column_double(stmt_, i));
    case SQLITE_NULL: return Value();
    default: {
      const auto* t = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, i));
      int len = sqlite3_column_bytes(stmt_, i);
      return Value(std::string(t ? t : "", static_cast<size_t>(len)));
    }
  }
}

void Statement::bindBlob(int index1, std::string_view bytes) {
  if (sqlite3_bind_blob64(stmt_, index1, bytes.data(), bytes.size(), SQLITE_TRANSIENT) != SQLITE_OK)
    fail(db_->handle(), "bind");
}

std::string_view Statement::columnBytes(int i) const {
  const void* p = sqlite3_column_blob(stmt_, i);
  const int n = sqlite3_column_bytes(stmt_, i);
  return p && n > 0 ? std::string_view(static_cast<const char*>(p), static_cast<size_t>(n)) : std::string_view();
}

Transaction::Transaction(Database& db, Begin begin) : db_(db) {
  db_.exec(begin == Begin::Immediate ? "begin immediate" : "begin");
}

Transaction::~Transaction() {
  if (!done_) {
    try {
      db_.exec("rollback");
    } catch (...) {
    }
  }
}

void Transaction::commit() {
  db_.exec("commit");
  done_ = true;
}

std::vector<std::string> attachDatabases(Database& db, const std::vector<std::filesystem::path>& files,
                                         const std::function<void(std::size_t)>& before) {
  std::vector<std::string> schemas = {"main"};
  for (std::size_t i = 1; i < files.size(); ++i) {
    if (before) before(i);
    std::error_code ec;
    if (!std::filesystem::is_regular_file(files[i], ec)) throw DatabaseError("no such file", DatabaseFailure::Missing);
    const std::string schema = "db" + std::to_string(i);
    db.execute("attach database ? as [" + schema + "]", {toUtf8(files[i])});
    schemas.push_back(schema);
  }
  return schemas;
}

}  // namespace tavrin
