#include "cli/commands.h"

namespace tavrin::cli {

int cmdTransfer(const Paths&, const Args&) { return failure("transfer: not available yet"); }

int cmdBackup(const Paths&, const Args&) { return failure("backup: not available yet"); }

}  // namespace tavrin::cli
