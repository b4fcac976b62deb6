// RunReport: the figures of a finished run as the text block the command line prints and
// as a JSON object, with the warning for a mesh that leaves many points unused.
#pragma once

#include <string>

#include "fanmesh/fanmesh.h"

// Below this share of used points the report warns.
inline constexpr double LOW_USED_SHARE = 0.9;

// The report as lines of text, each ending in a line end; when fewer than LOW_USED_SHARE of
// the points are used, a last line starting with "warning:" says so and names the usual causes.
std::string runReportText(const fanmesh::Report& report);

// The report as one JSON object (with a line end), naming the input and output files.
std::string runReportJson(const fanmesh::Report& report, const std::string& input,
                          const std::string& output);
