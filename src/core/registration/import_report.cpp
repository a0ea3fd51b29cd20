#include "registration/import_report.h"

namespace tavrin {

std::vector<std::string> importReportLines(const ImportOutcome& o) {
  std::vector<std::string> lines;
  for (const PeriodReport& p : o.periods) {
    std::string head = "position " + std::to_string(p.position) + ": " + p.date + " from " + p.file;
    if (!p.sheet.empty()) head += " sheet " + p.sheet;
    lines.push_back(head + " (" + p.kind + ")");
    lines.push_back("  prices read: " + groupedCount(p.pricesRead));
    if (o.done()) {
      lines.push_back("  stocks of the list without a price: " + groupedCount(p.listWithoutPrice));
      std::string unknown = "  codes not in the list: " + groupedCount(p.unknownCodes);
      if (p.unknownCodes > 0) {
        unknown += " (";
        for (std::size_t i = 0; i < p.unknownSample.size(); ++i) unknown += (i ? ", " : "") + p.unknownSample[i];
        if (p.unknownCodes > p.unknownSample.size()) unknown += ", ...";
        unknown += "); update the stock list to import them (tavrin-cli stocks update)";
      }
      lines.push_back(unknown);
    }
    if (p.notNumbers > 0) lines.push_back("  price cells that are no numbers: " + groupedCount(p.notNumbers));
    if (p.formulasWithoutValue > 0)
      lines.push_back("  formula cells without a stored value: " + groupedCount(p.formulasWithoutValue) +
                      " (save the file again from a spreadsheet program, or paste the prices as values)");
  }
  return lines;
}

}  // namespace tavrin
