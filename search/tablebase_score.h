// The tablebases' value of a node below the root.
#pragma once
#include "search/search.h"
#include "tablebase/tb_probe.h"
#include "tablebase/tb_registry.h"

// A node deep enough for a tablebase probe (by the usage option) whose men
// the registered tables cover: the table's score, moved towards zero by the
// node's distance from the root so that nearer mates count more.
inline bool TablebaseScoreAtNode(SearchContext& s, int depth, int ply, int& score) {
  if (depth < s.settings.tablebaseUsage || MenCount(s.position->st.materialKey) > tb::TbMaxMen())
    return false;
  Score v;
  if (!tb::ProbeTablebase(*s.position, v)) return false;
  ++s.tbHits;
  score = v > TablebaseMateBound ? v - ply : v < -TablebaseMateBound ? v + ply : v;
  return true;
}
