#pragma once
// The three commands; each returns the exit status (0 done, 1 the job
// failed, 2 bad arguments) after a one-line message on stderr for 1 and 2.

#include <cstdio>

#include <string>

#include "cli/CliArgs.h"
#include "cli/CliSource.h"

namespace cli {

int RunDevices(const Options& options, std::FILE* out);
int RunScan(const Options& options, std::FILE* out);
// The scan of a resolved source (`name` as the user gave it) with its
// progress, trees and summary; the exit status.
int ScanAndReport(const Source& source, const std::string& name, const Options& options, std::FILE* out);
int RunRecover(const Options& options, std::FILE* out);
// Loads a saved scan result and prints its trees as a scan does.
int RunLoad(const Options& options, std::FILE* out);

}  // namespace cli
