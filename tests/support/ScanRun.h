#pragma once
// One scan of a device as the program runs it, for the engines' tests: a
// controller, a filter of every file type, a progress and a tree view that
// record what they are told.

#include <memory>

#include "core/controller/RecoveryController.h"
#include "core/model/Contracts.h"
#include "support/FakeSinks.h"

namespace testsupport {

struct ControllerRelease {
  void operator()(IRecoveryController* c) const {
    if (c != nullptr) c->Release();
  }
};
using ControllerPtr = std::unique_ptr<IRecoveryController, ControllerRelease>;

// What one scan left. The controller owns the nodes the tree was shown, and
// goes first.
struct ScanRun {
  FakeProgress progress;
  RecordingTree tree;
  ControllerPtr controller;
  int initialized = 0;  // what the controller's Initialize answered
  RESULT result = 0;    // what its StartDataRecovery answered
};

// Scans `device` with a controller of `kind` and the engines registered now;
// the filter lets every file type pass and is the quick one for a quick
// scan. Without a controller of that kind, nothing runs.
void ScanDevice(ScanRun& run, IStorageDevice* device, _RECOVERY_CONTROLLER_TYPE kind);

}  // namespace testsupport
