#pragma once
// The commands; each returns the exit status (0 done, 1 the job
// failed, 2 bad arguments) after a one-line message on stderr for 1 and 2.

#include <chrono>
#include <cstdio>
#include <functional>
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
// Copies a disk, volume or image into a new image file.
int RunImage(const Options& options, std::FILE* out);

// Shared by the commands: the message for exit status 1 or 2 on stderr;
// the status.
int Fail(int status, const std::string& message);
// Drains the main-thread queue until no job is alive; Ctrl-C stops the job
// through `stop`. `tick` shows progress. False when stopped by the user.
bool RunJobs(const std::function<void()>& stop, const std::function<void()>& tick);
double Seconds(std::chrono::steady_clock::time_point since);

}  // namespace cli
