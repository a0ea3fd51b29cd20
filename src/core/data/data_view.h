#pragma once
#include <string>
#include <vector>

#include "data/database.h"

namespace tavrin {

// A window's view of one query over one database file: the database name,
// the query text (with bound parameters) and the rows of the last refresh.
// A refresh whose query fails keeps the previous rows and field names,
// reports false and logs the reason; it never shows anything.
class DataView {
 public:
  void setDatabaseName(std::string path) { databaseName_ = std::move(path); }
  const std::string& databaseName() const { return databaseName_; }

  void setRecordSource(std::string sql, std::vector<Value> params = {}) {
    recordSource_ = std::move(sql);
    params_ = std::move(params);
  }
  const std::string& recordSource() const { return recordSource_; }
  const std::vector<Value>& parameters() const { return params_; }

  bool refresh();
  const std::string& lastError() const { return lastError_; }

  const std::vector<std::string>& fields() const { return fields_; }
  const std::vector<Row>& rows() const { return rows_; }
  std::vector<Row>& mutableRows() { return rows_; }
  size_t rowCount() const { return rows_.size(); }
  int fieldIndex(const std::string& name) const;  // -1 when absent

  // Replaces the content directly (a recordset read elsewhere, e.g. a sheet).
  void setContent(std::vector<std::string> fields, std::vector<Row> rows);
  void clear();

 private:
  std::string databaseName_;
  std::string recordSource_;
  std::vector<Value> params_;
  std::vector<std::string> fields_;
  std::vector<Row> rows_;
  std::string lastError_;
};

}  // namespace tavrin
