#include "engines/RegisterAllEngines.h"

#include "apfs/ApfsEngine.h"
#include "carving/CarvingEngine.h"
#include "exfat/ExFatEngine.h"
#include "fat/FatEngine.h"
#include "hfsplus/HfsPlusEngine.h"
#include "ntfs/NtfsEngine.h"

void RegisterAllEngines() {
  RegisterFatEngine();
  RegisterExFatEngine();
  RegisterNtfsEngine();
  RegisterHfsPlusEngine();
  RegisterApfsEngine();
  RegisterCarvingEngine();
}
