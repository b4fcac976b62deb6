// RunFigures: the translation between the library's options and report and the
// pipeline's settings and results, shared by the library call and the command line.
#pragma once

#include <vector>

#include "api/ReconstructionRun.h"
#include "fanmesh/fanmesh.h"

// The pipeline settings of the library options.
Settings settingsOf(const fanmesh::Options& options);

// The report of a finished run whose faces (any vertex order of the run's points) are given.
fanmesh::Report reportOf(const ReconstructionRun& run, const std::vector<int32_t>& faces);
