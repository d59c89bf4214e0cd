#include "FuzzTargets.h"

BEATWRIGHT_FUZZ_ENTRY_POINT(fuzz::FuzzSimfile)
