#pragma once
// The save's progress sink and the polling of a save or load for the
// windows. The commands themselves are members of QVUIController.

#include "bridge/QVUIOperation.h"

inline constexpr const char* kQueryProgressFinish = "QueryProgressFinish";
inline constexpr const char* kQueryProgressInfo = "QueryProgressInfo";

class QVSaveAndRestoreNodeOperate : public QVUIOperation {
 public:
  static QVSaveAndRestoreNodeOperate* instance();

  // Keeps the record; a final record ends the operation.
  void UpdateProgress(_PROGRESS_INFO* info) override;
  // A save cannot be stopped.
  int Continued() override { return 1; }

 private:
  QVSaveAndRestoreNodeOperate() = default;
};
