#pragma once

class App;

// The vault routines that open or fill windows. Each reads or writes the
// whole file within the one call.

// Makes sure the vault exists, reads its master password and opens the
// password window in first-use or password-entry mode.
void OpenVault(App& app);

// Fills the main window's list from the vault, then shows the main window.
void LoadData(App& app);

// Writes a brand-new vault that holds only the new master password.
void SaveNewPassword(App& app);

// Rewrites the whole vault from the list. False, after telling the user why,
// when the vault could not be written; the old file is then unchanged.
bool SaveData(App& app);

void ShowCreatePassword(App& app);
void ShowEnterPassword(App& app);
