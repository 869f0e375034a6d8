#pragma once

class App;

// Fills the product identity from the executable's version information and
// sets the skin switch from the product setting.
void LoadIdentity(App& app);
