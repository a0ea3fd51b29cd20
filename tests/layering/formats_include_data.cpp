// Compiled with the formats layer's include path only: must not compile, as
// formats knows nothing of the databases.
#include "data/database.h"
