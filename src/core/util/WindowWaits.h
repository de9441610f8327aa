#pragma once
// The pauses a scan makes for the windows that show it: before it starts
// and after each new tree root is shown, so that the window can lay the
// tree out before rows arrive. A front end that shows no window (the
// command-line tool) turns them off once at start-up.

namespace window_waits {

bool Enabled();
void SetEnabled(bool enabled);

}  // namespace window_waits
