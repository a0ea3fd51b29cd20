#include "exchange/companion.h"

#include "app/paths.h"
#include "data/database.h"

namespace tavrin {

void createCompanionDatabase(const std::filesystem::path& path) {
  if (std::filesystem::exists(path)) throw DatabaseError("file exists: " + toUtf8(path));
  Database db(path, Database::Mode::Create);
  Transaction tx(db);
  std::string list = "create table [list] ([ID] integer primary key, [コード] integer, [銘柄] text";
  for (int i = 1; i <= 10; ++i) list += ", [kabuka" + std::to_string(i) + "] integer";
  db.exec(list + ")");
  std::string dates = "create table [日付] ([ID] integer primary key";
  for (int i = 1; i <= 21; ++i) dates += ", [kabuka" + std::to_string(i) + "] text";
  db.exec(dates + ")");
  db.exec("insert into [日付] default values");
  tx.commit();
}

}  // namespace tavrin
