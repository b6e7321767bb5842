// Answers about single positions given as FEN: which file and entry hold
// one (`--index`), and what a directory's files say about it (`--probe`).
#pragma once
#include <string>

namespace tbgen {

// "kqkr.nbb 1437397" (the extent file for tables stored in extents), or a
// line starting with "error:".
std::string IndexLine(const std::string& fen);
// "mate in N", "mated in N", "draw" or "unknown", or a line starting with "error:".
std::string ProbeLine(const std::string& dir, const std::string& fen);

}  // namespace tbgen
