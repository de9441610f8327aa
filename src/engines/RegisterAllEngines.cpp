#include "engines/RegisterAllEngines.h"

#include "fat/FatEngine.h"
#include "hfsplus/HfsPlusEngine.h"
#include "ntfs/NtfsEngine.h"

void RegisterAllEngines() {
  RegisterFatEngine();
  RegisterNtfsEngine();
  RegisterHfsPlusEngine();
}
