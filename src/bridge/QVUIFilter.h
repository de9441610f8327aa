#pragma once
// Owner of the core's category filter, which the scan hands to the
// controller and uses to file each found file under a category.

#include "core/model/Contracts.h"

class QVUIFilter {
 public:
  static QVUIFilter* instance();
  virtual ~QVUIFilter();

  IRecoveryFilter* GetFilter();
  // Category bits of _FILTER_TYPE; 127 all.
  void ResetFilter(unsigned mask);

  // Loads the default extension lists of the categories (once).
  static void InitFileTypes();

 private:
  QVUIFilter();
  IRecoveryFilter* m_pFilter = nullptr;
};
