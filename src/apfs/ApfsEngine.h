#pragma once
// Registers the APFS engine's factories and its volume-name source with the core.

void RegisterApfsEngine();
