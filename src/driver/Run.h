// Run: the program's entry sequence: path mode on named files, or the run in the current
// working directory, from the settings file to the final wait for the Enter key.
#pragma once

// Runs fanmesh; returns the process exit status: 0 success, 1 bad input or file error,
// 2 bad command-line arguments.
int runFanmesh(int argc, char** argv);
