#pragma once

// Keeps what this process holds in memory (the master password, every entry)
// out of core files, which crash reporters may send off the machine, and away
// from debuggers run by other processes of the same user. Called first thing
// in main(), before the vault is read. False when the system refused.
bool forbidCoreDumps();
