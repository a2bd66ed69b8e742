#pragma once

#include <chrono>

namespace trimlet {

class ShutdownWatcher;

// What becomes of the program's clipboard content when its window is gone. On X11 the
// content lives in the program that put it there: without help it vanishes with it.
enum class ClipboardAtExit {
    NotOurs,      // another program owns the clipboard (or this platform keeps it)
    HandedOver,   // the clipboard manager took the content over
    KeepServing,  // no manager took it: this process has to go on serving it
};

// Needs the QGuiApplication and runs its event loop while waiting. When this program
// owns the clipboard and a clipboard manager runs (the CLIPBOARD_MANAGER selection has
// an owner), asks it to save every target (SAVE_TARGETS) and waits for it to take the
// clipboard, at most `wait`. A shutdown asked for ends the wait at once.
ClipboardAtExit HandClipboardOver(std::chrono::milliseconds wait, const ShutdownWatcher& shutdown);

// Runs the event loop, without windows, while this program still owns the clipboard:
// it returns once another program has taken it, after `limit`, or at once when a
// shutdown is asked for.
void ServeClipboardUntilTaken(std::chrono::milliseconds limit, const ShutdownWatcher& shutdown);

}  // namespace trimlet
