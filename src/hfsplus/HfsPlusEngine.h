#pragma once
// Registers the HFS+ engine's factories with the core.

void RegisterHfsPlusEngine();
