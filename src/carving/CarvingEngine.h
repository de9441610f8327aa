#pragma once
// Registers the signature carving engine's searcher (type 34) with the core.

void RegisterCarvingEngine();
