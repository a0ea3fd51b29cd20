#pragma once
#include <filesystem>

namespace tavrin {

// Creates kabulist.mdb with the empty tables checklist and trend
// (ID autoincrement, コード, 銘柄, 市場, 単位, date). Fails when the file exists.
void createWatchListDatabase(const std::filesystem::path& path);

}  // namespace tavrin
