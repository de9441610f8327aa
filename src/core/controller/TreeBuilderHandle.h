#pragma once
// Owning handle of a tree builder: released (which frees its nodes) when the
// handle goes.

#include <memory>

#include "core/model/Contracts.h"

struct TreeBuilderRelease {
  void operator()(IDirecotryTreeBuilder* builder) const {
    if (builder != nullptr) builder->Release();
  }
};

using TreeBuilderHandle = std::unique_ptr<IDirecotryTreeBuilder, TreeBuilderRelease>;
