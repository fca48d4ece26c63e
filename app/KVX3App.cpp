#include "app/KVX3App.h"

#include "ops/SafetyFiles.h"
#include "platform/Platform.h"
#include "settings/AppOptions.h"
#include "settings/Profile.h"
#include "settings/UserStore.h"

#include <cstdlib>
#include <filesystem>

CKVX3App::CKVX3App(ISettingsStore& store, std::string appName, CAppSetup setup)
    : m_store(store), m_strAppName(std::move(appName)), m_setup(std::move(setup)) {}

CKVX3App::~CKVX3App() = default;

bool CKVX3App::InitInstance(IMainWindowRunner& runner) {
    runner.InitCommonControls();
    // Every profile read and write from here on goes below
    // Software\<company>\<application>.
    m_pProfile = std::make_unique<CProfile>(m_store, kCompanyKey, m_strAppName);

    m_pMainWnd = std::make_unique<CKVX3Dlg>(m_pProfile.get());
    CKVX3Dlg& window = *m_pMainWnd;
    if (!m_setup.DeviceListPath.empty()) {
        window.Station().Device().ListPath = m_setup.DeviceListPath;
    }
    window.LoadOptions(LoadAppOptions(*m_pProfile));
    window.Station().SafetyNet().SetFolder(m_setup.SafetyFolder.empty() ? DefaultSafetyFolder()
                                                                        : m_setup.SafetyFolder);
    ChooseBackend(window);

    (void)runner.RunModal(window); // OK, Cancel or the close box alike

    ExitSave(*m_pProfile, window.ExitOptions());
    (void)window.Station().SaveSimulatedChip();
    // Closes the writer (a worker still running is stopped first) and frees
    // the images.
    m_pMainWnd.reset();
    return false;
}

void CKVX3App::ChooseBackend(CKVX3Dlg& window) const {
    CStation& station = window.Station();
    if (m_setup.Backend == EAppBackend::Simulated) {
        const std::string folder =
            m_setup.SimChipFolder.empty() ? DefaultSimChipFolder() : m_setup.SimChipFolder;
        // Without a data folder the chips live for this run only.
        if (folder.empty()) {
            (void)station.UseSimulator("", false);
        } else {
            (void)station.UseSimulatorChipFolder(folder, false);
        }
        return;
    }
    (void)station.UseLibUsb(m_setup.UsbTransferTimeoutMs);
}

std::string DefaultDataBase() {
    return UserDataFolder();
}

std::string DefaultSimChipFolder() {
    const std::string base = DefaultDataBase();
    if (base.empty()) {
        return {};
    }
    return (std::filesystem::path(base) / "kvx3" / "sim-chips").string();
}

int RunKVX3App(EAppBackend backend, IMainWindowRunner& runner) {
    const std::unique_ptr<ISettingsStore> store = OpenUserSettingsStore();
    CAppSetup setup;
    setup.Backend = backend;
    CKVX3App app(*store, CurrentAppName(), setup);
    (void)app.InitInstance(runner);
    return EXIT_SUCCESS;
}
