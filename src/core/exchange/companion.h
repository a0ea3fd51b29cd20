#pragma once
#include <filesystem>

namespace tavrin {

// Creates an empty companion database: list (ID, コード, 銘柄, kabuka1..10)
// and 日付 (ID, kabuka1..kabuka21) with one empty row. Fails when the file exists.
void createCompanionDatabase(const std::filesystem::path& path);

}  // namespace tavrin
