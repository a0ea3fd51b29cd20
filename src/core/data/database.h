#pragma once
#include <filesystem>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "base/value.h"

struct sqlite3;
struct sqlite3_stmt;

namespace tavrin {

// Why a database file could not be used, for a message that names the cause.
enum class DatabaseFailure {
  Other,
  Missing,           // no such file
  NotADatabase,      // some other kind of file, or a damaged one
  Locked,            // another program holds a lock on it
  ReadOnly,          // it cannot be written
  InterruptedWrite,  // a change was cut off and cannot be rolled back here
  Unreadable,        // no permission to read it
};

class DatabaseError : public std::runtime_error {
 public:
  explicit DatabaseError(const std::string& what, DatabaseFailure kind = DatabaseFailure::Other)
      : std::runtime_error(what), kind_(kind) {}
  DatabaseFailure kind() const { return kind_; }

 private:
  DatabaseFailure kind_;
};

using Row = std::vector<Value>;

struct QueryResult {
  std::vector<std::string> fields;
  std::vector<Row> rows;
};

class Statement;

// One open SQLite file. Opening never creates a file unless asked to.
class Database {
 public:
  enum class Mode { ReadWrite, ReadOnly, Create };

  // Throws DatabaseError when the file is missing (ReadWrite, ReadOnly) or
  // cannot be opened or is not a database; its kind names the cause. A
  // locked file is waited for about 2 s. A read-only opening first rolls back
  // a change that a killed writer left behind (its hot journal) when the file
  // can be written; when it cannot, it fails as InterruptedWrite.
  explicit Database(const std::filesystem::path& path, Mode mode = Mode::ReadWrite);
  ~Database();
  Database(const Database&) = delete;
  Database& operator=(const Database&) = delete;
  Database(Database&& other) noexcept : path_(std::move(other.path_)), db_(other.db_) { other.db_ = nullptr; }

  const std::filesystem::path& path() const { return path_; }
  sqlite3* handle() const { return db_; }

  // Runs one or more statements without parameters.
  void exec(const std::string& sql);
  // Runs one statement with bound parameters; returns the number of changed rows.
  int execute(const std::string& sql, const std::vector<Value>& params = {});
  // Runs one query with bound parameters and returns every row.
  QueryResult query(const std::string& sql, const std::vector<Value>& params = {});
  // The first field of the first row, or Null.
  Value scalar(const std::string& sql, const std::vector<Value>& params = {});

  Statement prepare(const std::string& sql);

  bool tableExists(const std::string& name);
  std::vector<std::string> columnNames(const std::string& table);

 private:
  std::filesystem::path path_;
  sqlite3* db_ = nullptr;
};

// Opens an existing file for reading. A writable file is opened read-write,
// so that a change interrupted by a crash is rolled back first; a file that
// cannot be written is opened read-only. A missing, locked or foreign file
// fails at once, without a second try.
Database openForReading(const std::filesystem::path& path);

// Whether a journal left by an unfinished change lies beside the file.
bool hasLeftoverJournal(const std::filesystem::path& path);

// A prepared statement; bind, step, read columns, reset.
class Statement {
 public:
  Statement(Database& db, const std::string& sql);
  ~Statement();
  Statement(Statement&& other) noexcept;
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  void bind(int index1, const Value& v);  // 1-based
  void bindAll(const std::vector<Value>& params);
  bool step();  // true while a row is available
  void reset();
  int columnCount() const;
  std::string columnName(int i) const;
  Value column(int i) const;
  // Bytes of a blob (or text) value, valid until the next step or reset.
  void bindBlob(int index1, std::string_view bytes);
  std::string_view columnBytes(int i) const;

 private:
  Database* db_;
  sqlite3_stmt* stmt_ = nullptr;
};

// Every change to a database runs inside one of these. Rolls back unless
// commit() was called, so a failure leaves the file as it was.
class Transaction {
 public:
  // Immediate takes the write lock at once; Deferred at the first write of
  // each file (over attached files, so that the one another program holds
  // is the one that fails).
  enum class Begin { Immediate, Deferred };
  explicit Transaction(Database& db, Begin begin = Begin::Immediate);
  ~Transaction();
  void commit();

 private:
  Database& db_;
  bool done_ = false;
};

// Attaches files[1..] to the connection that has files[0] open, as db1, db2
// and so on, for one transaction over all of them; returns the schema
// names, "main" first. before(i) is called before file i is attached (so
// that a failure can name it). A missing file fails as Missing.
std::vector<std::string> attachDatabases(Database& db, const std::vector<std::filesystem::path>& files,
                                         const std::function<void(std::size_t)>& before = {});

}  // namespace tavrin
