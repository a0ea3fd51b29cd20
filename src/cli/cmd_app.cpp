#include "cli/commands.h"

namespace tavrin::cli {

int cmdInit(const Paths&, const Args&) { return failure("init: not available yet"); }

int cmdDemo(const Paths&, const Args&) { return failure("demo: not available yet"); }

int cmdDump(const Paths&, const Args&) { return failure("dump: not available yet"); }

}  // namespace tavrin::cli
