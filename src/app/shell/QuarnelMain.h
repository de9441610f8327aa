#pragma once
// The whole main program: start-up rules, one copy per user, the Qt
// application with the engine bridge's Qt side, the display kept awake,
// the main window and the run loop.

namespace shell {

int RunQuarnel(int argc, char** argv);

}  // namespace shell
