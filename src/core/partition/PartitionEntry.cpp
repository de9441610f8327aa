#include "core/partition/PartitionEntry.h"

#include <algorithm>

std::string PartitionEntry::ApmTypeText() const {
  const auto end = std::find(apmType.begin(), apmType.end(), '\0');
  return std::string(apmType.begin(), end);
}
