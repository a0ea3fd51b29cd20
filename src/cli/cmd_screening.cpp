#include "cli/commands.h"

namespace tavrin::cli {

int cmdScreen(const Paths&, const Args&) { return failure("screen: not available yet"); }

}  // namespace tavrin::cli
