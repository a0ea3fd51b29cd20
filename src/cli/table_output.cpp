#include <iostream>

#include "app/paths.h"
#include "cli/commands.h"
#include "cli/file_texts.h"

namespace tavrin::cli {

bool takeTableOutput(Args& args, TableOutput& out, bool* bad) {
  const auto format = takeOption(args, "--format", bad);
  out.path = takeOption(args, "--output", bad);
  if (!format) {
    // A file without a format: the name's extension says which.
    out.format = out.path ? exporting::formatForPath(fromUtf8(*out.path)) : exporting::ExportFormat::Tsv;
    return true;
  }
  if (*format == "tsv")
    out.format = exporting::ExportFormat::Tsv;
  else if (*format == "csv")
    out.format = exporting::ExportFormat::CsvUtf8;
  else if (*format == "csv-cp932")
    out.format = exporting::ExportFormat::CsvCp932;
  else if (*format == "xlsx")
    out.format = exporting::ExportFormat::Xlsx;
  else
    return false;
  // Only text goes to the terminal.
  return out.format == exporting::ExportFormat::Tsv || out.path.has_value();
}

int emitTable(const exporting::ExportTable& table, const TableOutput& out) {
  if (!out.path) {
    std::cout << exporting::tsvText(table);
    return kOk;
  }
  const exporting::ExportOutcome written = exporting::writeTable(fromUtf8(*out.path), table, out.format);
  if (!written.done()) return failure(exportFailureText(written));
  return kOk;
}

}  // namespace tavrin::cli
