// Deleting key trees and the program's own keys.
#pragma once

#include "settings/SettingsStore.h"

#include <string>

// Deletes the key `subkey` below `parent` (both key paths, `parent` empty for
// the root) with all its subkeys and values. The subkey names are collected
// completely before any is deleted, then each is deleted in turn, then the
// key itself. True when the key could be opened, false otherwise (then
// nothing is deleted). An empty `subkey` is refused, so the parent itself is
// never taken.
bool DeleteRegKeyTree(ISettingsStore& store, const std::string& parent, const std::string& subkey);

// Deletes Software\<company>\<name> and everything below it, then the company
// key when no subkey is left in it. False when the program key cannot be
// opened (the company key is then left alone), true otherwise. Empty names or
// names holding a backslash are refused: they would name the company key or
// some other key instead of one program's.
bool DeleteProgramKey(ISettingsStore& store, const std::string& company, const std::string& name);

// True when Software\<company>\<name> can be opened for reading.
bool ProgramKeyExists(ISettingsStore& store, const std::string& company, const std::string& name);

// "Software\<company>\<name>", or empty when either name is not a key name.
std::string ProgramKeyPath(const std::string& company, const std::string& name);
