#pragma once

class App;

// Ties a new program together: the order of its windows at start and at the
// end, the skin's reload and the browser window's host.
void TieProgram(App& app);

// Shows the main window once the vault is open, with the help window if it
// is to show at start, and closes the password window.
void afterFormLoad(App& app);
