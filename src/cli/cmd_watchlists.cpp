#include "cli/commands.h"

namespace tavrin::cli {

int cmdWatch(const Paths&, const Args&) { return failure("watch: not available yet"); }

int cmdLinks(const Paths&, const Args&) { return failure("links: not available yet"); }

}  // namespace tavrin::cli
