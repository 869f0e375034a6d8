#pragma once

class App;

// The program's side of the in-app browser window, which runs in a process
// of its own (tressik-browser).

// Listens to the window: a failure is told in the main window's status line,
// and the window closing after the main window has closed ends the program.
void WatchWebsiteWindow(App& app);
