// An endgame as the generator sees it: its table in the catalogue, its men
// and the tables its captures and promotions lead into.
#pragma once
#include <string>
#include <vector>
#include "tablebase/nalimov_catalogue.h"
#include "tablebase/nalimov_index.h"

namespace tbgen {

// Men of each kind (nalimov::ManKind order) per colour, kings not counted.
struct Material {
  int count[2][nalimov::ManKinds] = {};
  int Men(Color c) const;
  int Men() const { return 2 + Men(White) + Men(Black); }
  bool operator==(const Material&) const = default;
};

Material MaterialOfName(const std::string& name);
// "k" + white's men (q r b n p) + "k" + black's men.
std::string NameOf(const Material& m);
// Material with the colours exchanged.
Material Exchanged(const Material& m);

// The table that holds a material, as named or with colours exchanged;
// nullptr for two bare kings and for material no table has.
const nalimov::TableInfo* TableOfMaterial(const Material& m);

// Tables reached by one capture or promotion from this endgame (either side
// moving), each once, excluding the bare kings.
std::vector<const nalimov::TableInfo*> SuccessorTables(const nalimov::TableInfo& table);

// The tables to build for the named ones: every table they lead into,
// transitively, each before the tables that need it; smaller ones first.
std::vector<const nalimov::TableInfo*> BuildOrder(const std::vector<const nalimov::TableInfo*>& wanted);

}  // namespace tbgen
