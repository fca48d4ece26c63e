#include "settings/UserStore.h"

#ifdef _WIN32
#include "settings/RegistryStore.h"
#else
#include "settings/FileStore.h"
#endif

std::unique_ptr<ISettingsStore> OpenUserSettingsStore() {
#ifdef _WIN32
    return std::make_unique<CRegistryStore>();
#else
    return std::make_unique<CFileStore>(DefaultConfigBase());
#endif
}
