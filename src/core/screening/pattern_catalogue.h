#pragma once
#include <string>
#include <vector>

#include "screening/condition.h"

namespace tavrin::screening {

// Which of a pattern's two condition texts applies.
enum class ConditionVariant {
  Fixed,           // one text
  ByUnit,          // ranking: condition for "day", otherCondition for any other unit word
  ByUniverseKind,  // "3N": condition for universes 1..21, otherCondition for 22 and 23
};

struct SortStep {
  int column;   // grid column (5 単位, 8..16 ratio1..ratio9)
  int setting;  // grid sort setting (1 generic ascending, 2 generic descending, 3 numeric ascending)
};

struct TitleColour {
  int firstColumn;
  int lastColumn;
  unsigned rgb;  // 0xRRGGBB
};

// One pattern button of the screening window.
struct ScreeningPattern {
  const char* control;     // object name, e.g. "Command14"
  const char* caption;     // e.g. "保合"
  const char* groupLabel;  // the label the button sits under ("" for 保合)
  int row;                 // panel row 1..6 from the top; 0: the group above the visible area
  int slot;                // horizontal place in the panel, left to right
  unsigned rgb;            // design background colour
  const char* condition;
  const char* otherCondition;  // nullptr for Fixed
  ConditionVariant variant;
  std::vector<SortStep> sortSteps;
  std::vector<TitleColour> titleColours;
};

// The 67 pattern buttons.
const std::vector<ScreeningPattern>& patternCatalogue();
const ScreeningPattern* findPattern(const std::string& control);

// The caption of the label a pattern's button sits under ("ランキング"),
// trimmed; empty for 保合, which sits under none.
std::string groupCaption(const ScreeningPattern& p);
// "B1 (横這から上昇)", "保合": how a list names a button for the user.
std::string patternTitle(const ScreeningPattern& p);

// The buttons a typed name names: a control name ("Command28", any case), a
// caption ("B1", "保合"), or a group and a caption ("ランキング 1",
// "2段階上げ3"); full-width forms and surrounding spaces are allowed. A
// caption is compared exactly first, then without ASCII case ("u9"). Several
// buttons where the name is shared (the ranking pairs, 1V and 2V of the
// moving averages), none where it names no button.
std::vector<const ScreeningPattern*> findPatternsNamed(std::string_view name);

// The ranking threshold follows this word: exactly "day" gives 8, anything else 10.
bool isDayUnit(const std::string& unitWord);

// The condition text that applies to a click in this universe with this unit word.
const char* conditionTextFor(const ScreeningPattern& p, int universeIndex, const std::string& unitWord);

// The parsed condition (parsed once per text and kept).
const Condition& conditionFor(const ScreeningPattern& p, int universeIndex, const std::string& unitWord);

// A group label of the panel.
struct PanelLabel {
  const char* control;
  const char* caption;
};
const std::vector<PanelLabel>& panelLabels();

}  // namespace tavrin::screening
