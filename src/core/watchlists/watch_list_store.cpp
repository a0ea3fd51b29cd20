#include "watchlists/watch_list_store.h"

#include "app/paths.h"
#include "data/database.h"

namespace tavrin {

void createWatchListDatabase(const std::filesystem::path& path) {
  if (std::filesystem::exists(path)) throw DatabaseError("file exists: " + toUtf8(path));
  Database db(path, Database::Mode::Create);
  Transaction tx(db);
  for (const char* table : {"checklist", "trend"}) {
    db.exec(std::string("create table [") + table +
            "] ([ID] integer primary key autoincrement, [コード] integer, [銘柄] text, [市場] text, [単位] integer, "
            "[date] text)");
  }
  tx.commit();
}

}  // namespace tavrin
