#pragma once
// Many runs of one policy summed up by level: as a table for people and as
// JSON for scripts. Both come out the same for the same runs, byte for byte.
#include <string>
#include <vector>

#include "simulation.h"

namespace delve::sim {

struct ReportHeader {
    std::string policy;
    int firstSeed = 0, lastSeed = 0;
    int turnCap = 0;
};

// The three tuning targets and the explorer's check, counted over the runs.
struct TargetCounts {
    int runs = 0;
    int reachedLevel3 = 0;           // the starting party reached level 3
    int noFallBeforeTurn50 = 0;      // no member fell before turn 50
    int startingPartyFallenByLevel6 = 0;
    int leftLevel1 = 0;              // reached level 2 or deeper at all
};
TargetCounts countTargets(const std::vector<SeedRun>& runs);

std::string textReport(const ReportHeader& header, const std::vector<SeedRun>& runs);
std::string jsonReport(const ReportHeader& header, const std::vector<SeedRun>& runs);

}  // namespace delve::sim
