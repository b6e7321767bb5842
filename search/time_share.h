// How much of its time target a search may use, by how clearly its best
// move leads: a clear best move needs little confirmation, a close race
// more. The root's rule between iterations and the early stop of the
// periodic check read the same table.
#pragma once

// The gap when no rival has a value: every move but the best is unknown.
constexpr int NoRivalGap = 50000;

// Share (percent) of the target for a lead of more than `above` centipawns.
struct LeadShare {
  int above;
  int percent;
};
constexpr LeadShare ClearLeadShares[] = {{300, 9}, {150, 18}, {75, 24}, {60, 30}, {50, 35},
                                         {40, 45},  {30, 55},  {20, 70}, {10, 85}};
// The share of a clear lead (more than 10 centipawns); 0 for a smaller one,
// whose share each rule sets itself.
constexpr int ClearLeadShare(int gap) {
  for (const LeadShare& row : ClearLeadShares)
    if (gap > row.above) return row.percent;
  return 0;
}
