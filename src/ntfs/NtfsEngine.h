#pragma once
// Registers the NTFS engine's factories with the core.

void RegisterNtfsEngine();
