#pragma once
#include <QString>

class IQvNode;

// How the tree's rows name a node's place. Top-level nodes sit under the root key.
extern const char16_t* const kRootKey; // "根结点"

// The Key of a node's TreeNode row: its parent's Name, "+", and the grandparent's Name (or the
// root key); the root key itself for a top-level node.
QString StoredKey(const IQvNode& node);
// The Key under which a node's members are written to TreeList: its Name, "+", and its parent's
// Name (or the root key). Top-level nodes use the same form for writing and reading.
QString ListKey(const IQvNode& node);
