#include "data/data_view.h"

#include "base/files.h"
#include "base/log.h"

namespace tavrin {

bool DataView::refresh() {
  lastError_.clear();
  try {
    if (databaseName_.empty()) throw DatabaseError("no database name");
    Database db = openForReading(fromUtf8(databaseName_));
    QueryResult r = db.query(recordSource_, params_);
    fields_ = std::move(r.fields);
    rows_ = std::move(r.rows);
    return true;
  } catch (const std::exception& e) {
    lastError_ = e.what();
    logLine("data view", lastError_);
    return false;
  }
}

int DataView::fieldIndex(const std::string& name) const {
  for (size_t i = 0; i < fields_.size(); ++i)
    if (fields_[i] == name) return static_cast<int>(i);
  return -1;
}

void DataView::setContent(std::vector<std::string> fields, std::vector<Row> rows) {
  fields_ = std::move(fields);
  rows_ = std::move(rows);
}

void DataView::clear() {
  fields_.clear();
  rows_.clear();
}

}  // namespace tavrin
