#include "repeat/RunLink.h"

// The link's signals are generated beside this file.
