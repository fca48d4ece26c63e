// The options the main window keeps for one run: loaded before it opens,
// saved after it has closed.
#pragma once

#include "settings/Profile.h"

#include <string>

constexpr const char* kDeviceSection = "Settings\\Device";
constexpr const char* kBitSection = "Settings\\Bit";
constexpr const char* kSafetySection = "Settings\\Safety";
constexpr const char* kDefaultDevice = "PIC16F873A";
// An earlier program of the company; its key goes with ours when the user
// asks for the settings to be deleted.
constexpr const char* kOldAppName = "KVX";

// The persisted options of the main window, with their first-run values, and
// the deletion request that holds for the current run only.
struct CAppOptions {
    std::string m_strDevice = kDefaultDevice;
    bool m_bDisProtect = false;
    bool m_bViewProtect = true;
    bool m_bComplate = false;
    bool m_bUserId = false;
    bool m_bSumId = false;
    bool m_bDevId = true;
    bool m_bHexCheck = false;
    int m_nUserIdNo = 0;
    // Program leaves blank program rows and EEPROM bytes unwritten (menu
    // item "空き領域を書き込まない"); off: the full write.
    bool m_bSkipBlank = false;
    bool m_bDeleteRegistry = false;
};

// Start-up load: `PIC`, then DisProtect, ViewProtect, Complate, UserId, SumId,
// DevId, HexCheck, UserIdNo and SkipBlank, each with its first-run value when
// missing. A boolean is true when its integer is non-zero. m_bDeleteRegistry
// is false.
CAppOptions LoadAppOptions(const CProfile& profile);

// Writes `PIC` and the seven booleans (as 0 or 1) in the load order, then
// UserIdNo only while m_bUserId is set, then SkipBlank (0 or 1).
void SaveAppOptions(CProfile& profile, const CAppOptions& options);

// The safety net's remembered options, kept apart from the main window's
// own so that their load and save stay as they are.
struct CSafetyOptions {
    // Erase and Program first keep a snapshot of the chip.
    bool m_bSnapshot = false;
};

// `Snapshot` of the safety section; off when missing.
CSafetyOptions LoadSafetyOptions(const CProfile& profile);
// Writes `Snapshot` (0 or 1).
void SaveSafetyOptions(CProfile& profile, const CSafetyOptions& options);

// Deletes the application key (and the company key when it is left empty),
// then the key of the earlier program when there is one.
void DeleteAppSettings(CProfile& profile);

// Exit save: SaveAppOptions, then DeleteAppSettings when m_bDeleteRegistry is
// set. Write and delete failures are not reported.
void ExitSave(CProfile& profile, const CAppOptions& options);
