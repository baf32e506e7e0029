#include "repeat/RunOutput.h"

// The output's signal is generated beside this file.
