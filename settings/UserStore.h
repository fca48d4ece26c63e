// The settings store of the current user on this platform.
#pragma once

#include "settings/SettingsStore.h"

#include <memory>

// The registry of the current user on Windows; elsewhere the file store in
// the user's configuration folder (DefaultConfigBase in FileStore.h).
std::unique_ptr<ISettingsStore> OpenUserSettingsStore();
