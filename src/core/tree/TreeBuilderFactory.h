#pragma once
// Makes the directory-tree builder that joins found nodes into one tree per
// searcher. `restoring` is true when a saved scan is replayed.

#include "core/model/Contracts.h"

[[nodiscard]] IDirecotryTreeBuilder* CreateTreeBuilder(bool restoring);
