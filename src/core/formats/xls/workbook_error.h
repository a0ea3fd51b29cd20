#pragma once
#include <stdexcept>

namespace tavrin {

// A workbook that cannot be used: missing, not an .xls, or no such sheet.
class WorkbookError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A workbook whose reading failed on its content: the reader refused it,
// crashed, hung, ran out of its limits or gave output that does not decode.
class WorkbookDamaged : public WorkbookError {
 public:
  using WorkbookError::WorkbookError;
};

}  // namespace tavrin
