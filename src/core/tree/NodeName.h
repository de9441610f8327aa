#pragma once
// A node's name, never null.

#include "core/model/FileNode.h"

inline const char* NodeName(IFileNode* node) {
  const char* name = node != nullptr ? node->GetFileName() : nullptr;
  return name != nullptr ? name : "";
}
