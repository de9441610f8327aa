#include "core/controller/DeletedRecoveryController.h"

#include "core/controller/ControllerReports.h"
#include "core/controller/DeviceDescription.h"
#include "core/controller/ScanFlush.h"
#include "core/device/AsyncReader.h"
#include "core/device/StorageDevice.h"
#include "core/engines/EngineRegistry.h"
#include "core/recovery/DataRecovery.h"
#include "core/tree/TreeBuilderFactory.h"

namespace {

bool HasQuickSearcherCode(int code) {
  switch (code) {
    case kFsFat12:
    case kFsFat16:
    case kFsFat32:
    case kFsNtfs:
    case kFsExFat:
    case kFsHfsPlus:
    case kFsApfs:
      return true;
    default:
      return false;
  }
}

}  // namespace

CDeletedRecoveryController::~CDeletedRecoveryController() {
  // Builders go first: they free the nodes the searchers delivered.
  m_pTreeBuilder.reset();
  m_retiredBuilders.clear();
  m_pSearcher.reset();
  m_retiredSearchers.clear();
}

int CDeletedRecoveryController::Initialize(IRecoveryFilter* filter) {
  if (filter == nullptr) return 0;
  m_pFilter = filter;
  return 1;
}

RESULT CDeletedRecoveryController::StartDataRecovery(IStorageDevice* device, IProgress* progress,
                                                     IDrirectoryTree* tree) {
  if (device == nullptr || progress == nullptr || tree == nullptr) return QV_CTRL_RESULT(kCtrlBadQuickArgument);
  // A device that hung in an earlier scan gets another chance; unreadable
  // sectors count anew.
  NewReadSession();

  controller_reports::SendStart(progress);
  // Every failure after the start report ends the job for the sink.
  auto fail = [progress](RESULT code) {
    controller_reports::SendEnd(progress);
    return code;
  };

  if (device->GetType() == kDeviceDisk) return fail(QV_CTRL_RESULT(kCtrlQuickOnWholeDisk));

  m_pDevice = device;
  // A scan of several volumes keeps the trees already shown.
  if (m_pTreeBuilder) m_retiredBuilders.push_back(std::move(m_pTreeBuilder));
  if (m_pSearcher) m_retiredSearchers.push_back(std::move(m_pSearcher));
  m_pTreeBuilder.reset(CreateTreeBuilder(false));
  if (!m_pTreeBuilder) return fail(QV_CTRL_RESULT(kCtrlNoTreeBuilder));
  const std::string name = device_description::GetDeviceDescription(device);
  if (m_pTreeBuilder->Initialize(name.c_str(), tree, m_pFilter) == 0) {
    return fail(QV_CTRL_RESULT(kCtrlBadQuickArgument));
  }

  const int code = device_description::GetVolumeFileSystemCode(device);
  if (HasQuickSearcherCode(code)) m_pSearcher.reset(engine_registry::CreateQuickSearcher(code));
  if (!m_pSearcher) return fail(QV_CTRL_RESULT(kCtrlNoQuickSearcher));

  m_pSearcher->SetDirecotryTreeBuilder(m_pTreeBuilder.get());

  RESULT r;
  if (m_pRestoreSink != nullptr) {
    r = m_pRestoreSink->SetDirecotryTreeBuilder(m_pTreeBuilder.get(), progress, device);
  } else {
    FlushBeforeScan(device);
    r = m_pSearcher->QuickSearchFiles(device, progress);
  }
  // On success the searcher's own reports end the job.
  if (result::Failed(r)) return fail(r);
  return 0;
}

IDataRecovery* CDeletedRecoveryController::GetDataRecovery(_tagSearcherType type) const {
  if (!m_pSearcher) return nullptr;
  IDataRecovery* recovery = CreateDataRecoveryObj();
  if (recovery == nullptr) return nullptr;
  const RESULT r = m_pRestoreSink != nullptr
                       ? recovery->Initialize(m_pRestoreSink->GetSearchedPartition(type), m_pDevice)
                       : recovery->Initialize(m_pSearcher.get(), m_pDevice);
  if (result::Failed(r)) {
    recovery->Release();
    return nullptr;
  }
  return recovery;
}

void CDeletedRecoveryController::Release() { delete this; }
