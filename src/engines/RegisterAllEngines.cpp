#include "engines/RegisterAllEngines.h"

#include "fat/FatEngine.h"
#include "ntfs/NtfsEngine.h"

void RegisterAllEngines() {
  RegisterFatEngine();
  RegisterNtfsEngine();
}
