#pragma once
// Registers the FAT-family engine's factories with the core.

void RegisterFatEngine();
