// Trial edits: a change of the mesh that may be taken back. While a trial runs, every
// record is copied (with its state) before its first edit, which every edit announces
// through noteEdit; taking the trial back writes the copies back.
#include "recon/ReconstructionState.h"

void ReconstructionState::keepBeforeTrialEdit(int32_t x) {
    TrialEdits& trial = *trialEdits;
    if (trial.kept[static_cast<size_t>(x)] != 0) {
        return;
    }
    trial.kept[static_cast<size_t>(x)] = 1;
    trial.points.push_back(x);
    trial.records.push_back(vertices[x]);
    trial.states.push_back(pointState[static_cast<size_t>(x)]);
}

void ReconstructionState::beginTrial(TrialEdits& trial) {
    if (trial.kept.size() < static_cast<size_t>(totalCount)) {
        trial.kept.assign(static_cast<size_t>(totalCount), 0);
    }
    trial.completions = completionOrder.size();
    trialEdits = &trial;
}

void ReconstructionState::keepTrial(TrialEdits& trial) {
    trialEdits = nullptr;
    for (const int32_t x : trial.points) {
        trial.kept[static_cast<size_t>(x)] = 0;
    }
    trial.points.clear();
    trial.records.clear();
    trial.states.clear();
}

void ReconstructionState::takeBackTrial(TrialEdits& trial) {
    trialEdits = nullptr;
    // Later copies of a record cannot exist (one copy per record), so the order of the
    // writes does not matter. Where growth keeps the link counts, each follows its record's
    // links back.
    for (size_t k = 0; k < trial.points.size(); ++k) {
        const int32_t x = trial.points[k];
        vertices[x] = trial.records[k];
        setPointState(x, trial.states[k]);
        if (!linkCounts.empty()) {
            linkCounts[static_cast<size_t>(x)] =
                static_cast<int32_t>(trial.records[k].connectedPoints.size());
        }
    }
    completionOrder.resize(trial.completions);
    completedCount = static_cast<int32_t>(completionOrder.size());
    keepTrial(trial);
}
