#include <algorithm>

#include "base/text.h"
#include "cli/commands.h"
#include "screening/pattern_catalogue.h"

namespace tavrin::cli {

std::string notAStockCode(const std::string& text) {
  return "not a stock code: '" + printableText(text) +
         "' (four or five digits and letters, such as 7203 or 130A, or a plain number)";
}

const screening::ScreeningPattern* namedPattern(const std::string& name, std::string* message) {
  const std::vector<const screening::ScreeningPattern*> found = screening::findPatternsNamed(name);
  if (found.size() == 1) return found.front();
  if (found.empty()) {
    *message = "no pattern button " + printableText(name) +
               " (a caption such as B1 or 保合, or a control name such as Command14)";
    return nullptr;
  }
  // The buttons that share the name, each with its group and the condition
  // that tells them apart.
  std::string list;
  for (const screening::ScreeningPattern* p : found) {
    const std::string group = screening::groupCaption(*p);
    // The condition only where the group does not tell them apart (the
    // ranking pairs).
    const bool sameGroup = std::count_if(found.begin(), found.end(), [&](const screening::ScreeningPattern* o) {
                             return std::string_view(o->groupLabel) == p->groupLabel;
                           }) > 1;
    list += (list.empty() ? "" : ", ") + std::string(p->control) + " (" + (group.empty() ? "" : group + " ") +
            p->caption + (sameGroup ? std::string(": ") + p->condition : std::string()) + ")";
  }
  *message = "pattern " + printableText(name) + " names " + std::to_string(found.size()) +
             " buttons; give one of the control names: " + list;
  return nullptr;
}

}  // namespace tavrin::cli
