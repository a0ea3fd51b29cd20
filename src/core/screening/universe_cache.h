#pragma once
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "data/database.h"
#include "screening/columnar.h"
#include "screening/condition.h"

namespace tavrin::screening {

// What a database file looks like from outside: size, modification time and
// the change counter of its header, and size and time of its write-ahead log.
// Any committed write changes it.
struct FileStamp {
  std::uint32_t changeCounter = 0;
  std::uintmax_t size = 0;
  std::filesystem::file_time_type modified{};
  std::uintmax_t walSize = 0;
  std::filesystem::file_time_type walModified{};
  bool operator==(const FileStamp&) const = default;
};
std::optional<FileStamp> fileStamp(const std::filesystem::path& path);

// The rows of one universe query as last read, with each stock's ratios
// computed once. A pattern click filters these rows with the condition's
// direct evaluation (which lists exactly what the database would) as long
// as the file is unchanged since the read; otherwise the caller asks the
// database.
class UniverseCache {
 public:
  void clear();
  // Takes the rows of baseQuery read from dbPath; stamp is the file's stamp
  // taken before the read.
  void remember(const std::string& dbPath, const std::string& baseQuery, const std::optional<FileStamp>& stamp,
                const std::vector<std::string>& fields, const std::vector<Row>& rows);
  // Whether the remembered rows still stand for baseQuery over dbPath.
  bool current(const std::string& dbPath, const std::string& baseQuery) const;
  // The remembered rows that satisfy the condition, in their order.
  std::vector<Row> filter(const Condition& condition) const;
  // The same with the condition's columnar form.
  std::vector<Row> filter(const ColumnarCondition& condition) const;

  const std::vector<std::string>& fields() const { return fields_; }
  const std::vector<Ratios>& ratios() const { return ratios_; }
  const RatioColumns& columns() const { return columns_; }

 private:
  bool valid_ = false;
  std::string dbPath_, baseQuery_;
  FileStamp stamp_;
  std::vector<std::string> fields_;
  std::vector<Row> rows_;
  std::vector<Ratios> ratios_;
  RatioColumns columns_;
};

// Ratios of each row from the fields "ratio1".."ratio9" (Null when absent).
std::vector<Ratios> ratiosOf(const std::vector<std::string>& fields, const std::vector<Row>& rows);

}  // namespace tavrin::screening
