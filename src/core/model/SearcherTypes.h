#pragma once
// Numbers shared by every searcher, tree and controller.

enum _tagSearcherType : int {
  kSearcherHfsPlus = 31,
  kSearcherFat = 32,
  kSearcherExFat = 33,
  kSearcherRawByType = 34,
  kSearcherNtfs = 35,
  kSearcherRawByLabel = 36,
  kSearcherApfs = 37,
  kSearcherNone = 38,
};

// File-system codes of a volume record and a partition record.
enum FileSystemCode : int {
  kFsFat12 = 0,
  kFsFat16 = 1,
  kFsFat32 = 2,
  kFsNtfs = 3,
  kFsExFat = 7,
  kFsHfsPlus = 8,
  kFsApfs = 9,
  kFsUnknown = 10,
};

enum _RECOVERY_CONTROLLER_TYPE : int {
  kControllerQuick = 0,
  kControllerComplete = 1,
  kControllerWholeDisk = 2,
  kControllerNone = 3,
};

enum _FILTER_TYPE : unsigned {
  kFilterDocument = 1,
  kFilterPicture = 2,
  kFilterMovie = 4,
  kFilterMusic = 8,
  kFilterArchive = 16,
  kFilterEmail = 32,
  kFilterOther = 64,
  kFilterAll = 127,
};

enum _SCAN_TYPE : int {
  kScanQuick = 0,
  kScanComplete = 1,
};
