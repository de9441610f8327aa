#pragma once
// Registers the exFAT quick and complete searchers with the core.

void RegisterExFatEngine();
