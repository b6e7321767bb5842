#include "tbgen/endgame.h"
#include <algorithm>
#include <functional>
#include <set>

namespace tbgen {

using nalimov::ManKinds;
using nalimov::PawnMan;
using nalimov::QueenMan;

namespace {
constexpr char Letters[ManKinds] = {'p', 'n', 'b', 'r', 'q'};
}

int Material::Men(Color c) const {
  int n = 0;
  for (int k : count[c]) n += k;
  return n;
}

Material MaterialOfName(const std::string& name) {
  Material m;
  int colour = -1;
  for (char c : name) {
    if (c == 'k') {
      ++colour;
      continue;
    }
    for (int kind = 0; kind < ManKinds; ++kind)
      if (c == Letters[kind] && colour >= 0 && colour < 2) ++m.count[colour][kind];
  }
  return m;
}

std::string NameOf(const Material& m) {
  std::string name;
  for (Color c : {White, Black}) {
    name += 'k';
    for (int kind = QueenMan; kind >= PawnMan; --kind) name.append(m.count[c][kind], Letters[kind]);
  }
  return name;
}

Material Exchanged(const Material& m) {
  Material x;
  for (int kind = 0; kind < ManKinds; ++kind) {
    x.count[White][kind] = m.count[Black][kind];
    x.count[Black][kind] = m.count[White][kind];
  }
  return x;
}

const nalimov::TableInfo* TableOfMaterial(const Material& m) {
  if (m.Men() == 2) return nullptr;
  if (const nalimov::TableInfo* t = nalimov::TableByName(NameOf(m))) return t;
  return nalimov::TableByName(NameOf(Exchanged(m)));
}

std::vector<const nalimov::TableInfo*> SuccessorTables(const nalimov::TableInfo& table) {
  const Material m = MaterialOfName(table.name);
  std::set<const nalimov::TableInfo*> found;
  auto add = [&](const Material& next) {
    if (const nalimov::TableInfo* t = TableOfMaterial(next)) found.insert(t);
  };
  for (Color mover : {White, Black}) {
    const Color them = Opponent(mover);
    for (int victim = 0; victim < ManKinds; ++victim) {
      if (!m.count[them][victim]) continue;
      Material next = m;
      --next.count[them][victim];
      add(next);
    }
    if (!m.count[mover][PawnMan]) continue;
    for (int promoted = 1; promoted < ManKinds; ++promoted) {
      Material next = m;
      --next.count[mover][PawnMan];
      ++next.count[mover][promoted];
      add(next);
      for (int victim = 1; victim < ManKinds; ++victim) {   // pawns never stand on the last rank
        if (!m.count[them][victim]) continue;
        Material captured = next;
        --captured.count[them][victim];
        add(captured);
      }
    }
  }
  found.erase(&table);
  std::vector<const nalimov::TableInfo*> list(found.begin(), found.end());
  std::sort(list.begin(), list.end(), [](auto* a, auto* b) { return a->number < b->number; });
  return list;
}

std::vector<const nalimov::TableInfo*> BuildOrder(const std::vector<const nalimov::TableInfo*>& wanted) {
  std::vector<const nalimov::TableInfo*> order;
  std::set<const nalimov::TableInfo*> seen;
  std::function<void(const nalimov::TableInfo*)> visit = [&](const nalimov::TableInfo* t) {
    if (!seen.insert(t).second) return;
    for (const nalimov::TableInfo* next : SuccessorTables(*t)) visit(next);
    order.push_back(t);
  };
  // Smaller tables first where the dependencies leave a choice.
  std::vector<const nalimov::TableInfo*> sorted = wanted;
  std::sort(sorted.begin(), sorted.end(), [](auto* a, auto* b) { return a->number < b->number; });
  for (const nalimov::TableInfo* t : sorted) visit(t);
  return order;
}

}  // namespace tbgen
