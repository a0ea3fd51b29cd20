#include "registration/scratch_view.h"

namespace tavrin {

bool ScratchView::load(const std::string& priceDbPath) {
  data1_.setDatabaseName(priceDbPath);
  data1_.setRecordSource("select * from [hojyo]");
  return data1_.refresh();
}

const std::array<int, 9>& ScratchView::columnWidths() {
  static const std::array<int, 9> widths = {200, 550, 1150, 1000, 900, 600, 600, 600, 600};
  return widths;
}

}  // namespace tavrin
