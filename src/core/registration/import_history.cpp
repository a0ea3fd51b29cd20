#include "registration/import_history.h"

#include "base/log.h"

namespace tavrin {

ImportHistory::ImportHistory(Database& db, const PeriodSource* periods, int count) : db_(db), writer_(db) {
  for (int i = 0; i < count; ++i) {
    days_.push_back(dayFromRecordDate(periods[i].date));
    if (!days_.back()) logLine("history", "date '" + periods[i].date + "' is not a real date; its prices stay out");
  }
}

void ImportHistory::put(const std::string& codeKey, std::size_t period, std::int64_t close) {
  if (period >= days_.size() || !days_[period]) return;
  if (!codes_) codes_ = listCodes(db_);  // read inside the import's transaction
  auto it = codes_->find(codeKey);
  writer_.putClose(it != codes_->end() ? it->second : historyCodeValue(codeKey), *days_[period], close);
}

}  // namespace tavrin
