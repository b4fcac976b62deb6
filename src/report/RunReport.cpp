// RunReport: formatting of the run figures as text and as JSON.
#include "report/RunReport.h"

#include <cstdio>

namespace {

double usedShare(const fanmesh::Report& report) {
    return report.pointsRead > 0
               ? static_cast<double>(report.pointsUsed) / static_cast<double>(report.pointsRead)
               : 0.0;
}

std::string formatted(const char* format, double value) {
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

// A JSON string literal: quotes, backslashes and control characters escaped.
std::string jsonString(const std::string& text) {
    std::string quoted = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\') {
            quoted += '\\';
            quoted += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned char>(c));
            quoted += escape;
        } else {
            quoted += c;
        }
    }
    return quoted + "\"";
}

} // namespace

std::string runReportText(const fanmesh::Report& report) {
    const double share = usedShare(report);
    std::string text;
    text += "points read:                    " + std::to_string(report.pointsRead) + "\n";
    text += "points used by the mesh:        " + std::to_string(report.pointsUsed) + " (" +
            formatted("%.1f", share * 100.0) + "%)\n";
    text += "faces:                          " + std::to_string(report.faces) + "\n";
    text += "connected components:           " + std::to_string(report.components) + "\n";
    text += "boundary loops:                 " + std::to_string(report.boundaryLoops) + "\n";
    text += "edges with more than two faces: " + std::to_string(report.nonManifoldEdges) + "\n";
    text +=
        "preparation time:               " + formatted("%.3f", report.preparationSeconds) + " s\n";
    text +=
        "construction time:              " + formatted("%.3f", report.constructionSeconds) + " s\n";
    if (share < LOW_USED_SHARE) {
        text += "warning: only " + formatted("%.1f", share * 100.0) +
                "% of the points are used by the mesh; this usually means the sampling is too "
                "coarse for the surface's curvature, or the points are strongly noisy\n";
    }
    return text;
}

std::string runReportJson(const fanmesh::Report& report, const std::string& input,
                          const std::string& output) {
    std::string json = "{\n";
    json += "  \"input\": " + jsonString(input) + ",\n";
    json += "  \"output\": " + jsonString(output) + ",\n";
    json += "  \"points_read\": " + std::to_string(report.pointsRead) + ",\n";
    json += "  \"points_used\": " + std::to_string(report.pointsUsed) + ",\n";
    json += "  \"points_used_share\": " + formatted("%.6f", usedShare(report)) + ",\n";
    json += "  \"faces\": " + std::to_string(report.faces) + ",\n";
    json += "  \"connected_components\": " + std::to_string(report.components) + ",\n";
    json += "  \"boundary_loops\": " + std::to_string(report.boundaryLoops) + ",\n";
    json +=
        "  \"edges_with_more_than_two_faces\": " + std::to_string(report.nonManifoldEdges) + ",\n";
    json += "  \"preparation_seconds\": " + formatted("%.6f", report.preparationSeconds) + ",\n";
    json += "  \"construction_seconds\": " + formatted("%.6f", report.constructionSeconds) + "\n";
    json += "}\n";
    return json;
}
