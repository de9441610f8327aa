#pragma once
// Registers every engine linked into the program with the core's registry.
// Call once at start-up, before any scan or enumeration.

void RegisterAllEngines();
