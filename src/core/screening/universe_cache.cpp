#include "screening/universe_cache.h"

#include <fstream>

#include "app/paths.h"
#include "data/price_schema.h"

namespace tavrin::screening {

std::optional<FileStamp> fileStamp(const std::filesystem::path& path) {
  std::error_code ec;
  FileStamp s;
  s.size = std::filesystem::file_size(path, ec);
  if (ec) return std::nullopt;
  s.modified = std::filesystem::last_write_time(path, ec);
  if (ec) return std::nullopt;
  {
    // Bytes 24..27 of the header count the committed transactions.
    std::ifstream in(path, std::ios::binary);
    unsigned char header[28];
    if (!in.read(reinterpret_cast<char*>(header), sizeof header)) return std::nullopt;
    s.changeCounter = (std::uint32_t{header[24]} << 24) | (std::uint32_t{header[25]} << 16) |
                      (std::uint32_t{header[26]} << 8) | std::uint32_t{header[27]};
  }
  std::filesystem::path wal = path;
  wal += "-wal";
  if (std::filesystem::exists(wal, ec)) {
    s.walSize = std::filesystem::file_size(wal, ec);
    s.walModified = std::filesystem::last_write_time(wal, ec);
    if (ec) return std::nullopt;
  }
  return s;
}

std::vector<Ratios> ratiosOf(const std::vector<std::string>& fields, const std::vector<Row>& rows) {
  int col[9];
  for (int n = 0; n < 9; ++n) {
    col[n] = -1;
    for (size_t f = 0; f < fields.size(); ++f)
      if (fields[f] == ratioColumn(n + 1)) col[n] = static_cast<int>(f);
  }
  std::vector<Ratios> out(rows.size());
  for (size_t i = 0; i < rows.size(); ++i)
    for (int n = 0; n < 9; ++n)
      if (col[n] >= 0 && static_cast<size_t>(col[n]) < rows[i].size()) {
        const Value& v = rows[i][static_cast<size_t>(col[n])];
        // A text in a ratio column would compare as text in the database:
        // such rows are left to the database.
        if (v.isText()) return {};
        out[i][static_cast<size_t>(n)] = v.asNumber();
      }
  return out;
}

void UniverseCache::clear() {
  valid_ = false;
  rows_.clear();
  ratios_.clear();
  columns_.clear();
  fields_.clear();
}

void UniverseCache::remember(const std::string& dbPath, const std::string& baseQuery,
                             const std::optional<FileStamp>& stamp, const std::vector<std::string>& fields,
                             const std::vector<Row>& rows) {
  clear();
  if (!stamp) return;
  int found = 0;
  for (const auto& f : fields)
    if (f.rfind("ratio", 0) == 0) ++found;
  if (found < 9) return;
  ratios_ = ratiosOf(fields, rows);
  if (ratios_.size() != rows.size()) return;
  columns_ = RatioColumns::from(ratios_);
  dbPath_ = dbPath;
  baseQuery_ = baseQuery;
  stamp_ = *stamp;
  fields_ = fields;
  rows_ = rows;
  valid_ = true;
}

bool UniverseCache::current(const std::string& dbPath, const std::string& baseQuery) const {
  if (!valid_ || dbPath != dbPath_ || baseQuery != baseQuery_) return false;
  const auto now = fileStamp(fromUtf8(dbPath));
  return now && *now == stamp_;
}

std::vector<Row> UniverseCache::filter(const Condition& condition) const {
  std::vector<Row> out;
  for (size_t i = 0; i < rows_.size(); ++i)
    if (condition.evaluate(ratios_[i]) == Truth::True) out.push_back(rows_[i]);
  return out;
}

std::vector<Row> UniverseCache::filter(const ColumnarCondition& condition) const {
  std::vector<std::uint8_t> hits;
  condition.evaluate(columns_, hits);
  std::vector<Row> out;
  for (size_t i = 0; i < rows_.size(); ++i)
    if (hits[i]) out.push_back(rows_[i]);
  return out;
}

}  // namespace tavrin::screening
