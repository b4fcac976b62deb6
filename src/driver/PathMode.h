// PathMode: the run on named files: read INPUT, reconstruct, write OUTPUT in the input's
// coordinates and order, and report the run on standard error.
#pragma once

#include "driver/CommandLine.h"

// Runs path mode; returns the exit status: 0 success, 1 bad input or a file that cannot be
// read or written (one line "fanmesh: FILE: reason" on standard error, no output left
// behind), 2 a bad option value such as an unknown output extension.
int runPathMode(const CommandLine& line);
