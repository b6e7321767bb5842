// The option table: one row per engine option, with everything that
// "uci" announces (name, kind, range, default), what "setoption" does with
// a value (range, where it is stored, whether the children hear of it, the
// confirmation) and how the text-log head summarises a changed setting.
#pragma once
#include <span>
#include <string>

enum class OptionKind { Button, Check, Spin, Combo, Text };
// Where the option is announced: by "uci" (only when the hash table is the
// engine's own, for Hash and Max CPUs), not at all, or by the "kvx5" dialect.
enum class OptionShown { Uci, UciOwnTable, Hidden, Kvx5 };

struct OptionChoice {
  const char* name;           // as announced ("BelowNormal")
  int value;
  const char* confirmation;
  const char* summaryName;    // as the log summary writes it
};

struct OptionRow;
using OptionAction = void (*)(const OptionRow& row, const std::string& text);

struct OptionRow {
  const char* name;                     // as announced; its lower case + " value" is the setoption keyword
  OptionKind kind;
  OptionShown shown = OptionShown::Uci;
  int min = 0, max = 0;                 // spin: values are held to this range
  int defaultValue = 0;                 // spin, check (0/1), combo: the start value
  const char* defaultText = nullptr;    // text: the announced default
  bool minMaxFirst =
      false;  // spin announced "min .. max .. default .." rather than "default .. min .. max .."
  bool announceCurrent = false;         // spin announced with its current value as the default
  std::span<const OptionChoice> choices = {};
  // Where the value lives (one of them, by kind; none for buttons).
  int* number = nullptr;
  bool* flag = nullptr;
  std::string* text = nullptr;
  bool forwarded = false;               // the children hear of it first
  const char* confirmation = nullptr;   // spin "%d", text "%s", check: when switched on
  const char* confirmationOff = nullptr;  // check: when switched off
  OptionAction handle = nullptr;        // replaces the usual store and confirmation
  void (*changed)() = nullptr;          // runs after the usual store and confirmation
  // The "uci3" dialect announces some options with other types.
  const char* uci3Type = nullptr;
  const char* uci3Default = nullptr;
  // Text-log head: the line written when the setting differs from its start
  // value, at its place among the other lines (0: never written).
  int summaryRank = 0;
  const char* summary = nullptr;
  std::string (*summaryLine)() = nullptr;   // a line of its own making ("" for none)
  // Children started by the engine learn the settings that differ from
  // their start values, in this order (0: never sent).
  int childRank = 0;
};

// Every option, in the order "uci" announces them.
std::span<const OptionRow> OptionRows();
// The row of an option name (letter case ignored), or nullptr.
const OptionRow* FindOptionRow(const std::string& name);
// The setoption keyword of a row: its name in lower case.
std::string OptionKeyword(const OptionRow& row);
