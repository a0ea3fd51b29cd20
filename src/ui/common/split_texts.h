#pragma once
#include <QString>
#include <filesystem>
#include <optional>
#include <string>

#include "data/splits.h"
#include "splits/split_entry.h"

namespace tavrin::ui {

// "手入力", "値動きの確認", "データサービス".
QString splitSourceText(SplitSource source);
// The report of an entry or a removal, done or not.
QString splitAddedText(const SplitOutcome& outcome);
QString splitRemovedText(const SplitOutcome& outcome);
// The question before a removal.
QString splitRemovalQuestion(const std::string& codeKey, int exDay, const SplitRatio& ratio);
// A ratio that could not be read.
QString splitRatioHelp();

}  // namespace tavrin::ui
