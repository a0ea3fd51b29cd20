#pragma once
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "data/database.h"

namespace tavrin {

// The two watch lists of kabulist.mdb: the stocks of interest (checklist,
// also filled by another program) and the trend list (trend).
enum class WatchList { Checklist, Trend };

// The list a watch-list universe screens: 22 the trend list, 23 the stocks
// of interest; nothing for any other universe.
std::optional<WatchList> watchListOfUniverse(int universeIndex);

// "checklist" or "trend".
const char* watchListTable(WatchList list);
// "checklist" / "trend" (exactly); nullopt for anything else.
std::optional<WatchList> watchListFromName(std::string_view name);
// "select * from [checklist]" / "select * from [trend]".
std::string watchListSelect(WatchList list);
// The fields of both tables in their order: ID, コード, 銘柄, 市場, 単位, date.
const std::vector<std::string>& watchListFields();

// Creates kabulist.mdb with the empty tables checklist and trend
// (ID autoincrement, コード, 銘柄, 市場, 単位, date). Fails when the file exists.
void createWatchListDatabase(const std::filesystem::path& path);

// Makes the file usable by the windows: creates it with both tables when it
// is missing and adds a table that is missing. Throws DatabaseError when the
// file cannot be opened or is not a watch-list database.
void prepareWatchListDatabase(const std::filesystem::path& path);

}  // namespace tavrin
