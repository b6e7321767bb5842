// What a parent tells a zero-window child about the node it searches.
#pragma once
#include <cstdint>

// The parent's expectation of a zero-window node: a cut node should fail
// high (one good move refutes the parent's move), an all node should fail
// low (every move gets searched). The expectation alternates down the tree.
enum class NodeKind : uint8_t { All, Cut };

constexpr NodeKind Opposite(NodeKind kind) { return kind == NodeKind::Cut ? NodeKind::All : NodeKind::Cut; }

struct NodeFlags {
  NodeKind kind = NodeKind::Cut;
  bool nullMoveForbidden = false;   // the node was reached by a null move, or must not try one

  // A child's flags: the expectation turns round, the null move is allowed again.
  constexpr NodeFlags Child() const { return {Opposite(kind), false}; }
  // The reply to a null move: no second null move in a row.
  constexpr NodeFlags NullMoveReply() const { return {Opposite(kind), true}; }
};

// The first zero-window child of a principal-variation node is expected to fail high.
constexpr NodeFlags PvChildFlags{NodeKind::Cut, false};

// A bound stored against the node's expectation carries a mark: a lower
// bound from an all node, an upper bound from a cut node. A marked entry
// does not end a node of that expectation.
constexpr bool MarksLowerBound(NodeKind kind) { return kind == NodeKind::All; }
constexpr bool MarksUpperBound(NodeKind kind) { return kind == NodeKind::Cut; }
