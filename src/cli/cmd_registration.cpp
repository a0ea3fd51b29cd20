#include "cli/commands.h"

namespace tavrin::cli {

int cmdImport(const Paths&, const Args&) { return failure("import: not available yet"); }

int cmdInsert(const Paths&, const Args&) { return failure("insert: not available yet"); }

int cmdLatest(const Paths&, const Args&) { return failure("latest: not available yet"); }

}  // namespace tavrin::cli
