#pragma once
// The command that removes this workstation's settings of the program.

class LocalSettings;
class UserInterface;

// Asks (string 132) and on Yes removes the application's profile, and the vendor folder when
// nothing else is left in it; the settings in memory are then not written back at exit.
// True when the settings were removed.
bool RemoveLocalSettings(UserInterface& ui, LocalSettings& settings);
