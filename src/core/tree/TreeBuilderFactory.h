#pragma once
// Makes the directory-tree builder that joins found nodes into one tree per
// searcher. `restoring` is true when a saved scan is replayed.

#include "core/model/Contracts.h"

class ITreeBuilderClock;

[[nodiscard]] IDirecotryTreeBuilder* CreateTreeBuilder(bool restoring);
// Same, with the given time source (borrowed; must outlive the builder).
// Null means the system clock.
[[nodiscard]] IDirecotryTreeBuilder* CreateTreeBuilder(bool restoring, ITreeBuilderClock* clock);
