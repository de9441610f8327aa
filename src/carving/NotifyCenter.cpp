#include "carving/NotifyCenter.h"

#include "core/model/Progress.h"

CNotifyCenter& CNotifyCenter::Instance() {
  static CNotifyCenter center;
  return center;
}

int CNotifyCenter::isContinue() {
  IProgress* progress = m_pProgress.load();
  if (progress == nullptr) return 1;
  return progress->Continued() != 0 ? 1 : 0;
}
