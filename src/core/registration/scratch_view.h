#pragma once
#include <array>
#include <string>

#include "data/data_view.h"

namespace tavrin {

// Form4: the never-shown view of the scratch table hojyo. It holds the data
// view and the column widths its grid would use; nothing shows it.
class ScratchView {
 public:
  // Binds the view to the price database with "select * from [hojyo]" and reads it.
  bool load(const std::string& priceDbPath);
  bool refresh() { return data1_.refresh(); }

  DataView& data1() { return data1_; }
  const DataView& data1() const { return data1_; }
  // Grid column widths in twips, columns 0..8.
  static const std::array<int, 9>& columnWidths();

 private:
  DataView data1_;
};

}  // namespace tavrin
