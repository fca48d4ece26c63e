#include "settings/AppOptions.h"

#include "settings/KeyTreeOps.h"

namespace {

bool ReadFlag(const CProfile& profile, const char* entry, bool fallback) {
    return profile.GetProfileInt(kBitSection, entry, fallback ? 1U : 0U) != 0;
}

void WriteFlag(CProfile& profile, const char* entry, bool value) {
    profile.WriteProfileInt(kBitSection, entry, value ? 1U : 0U);
}

} // namespace

CAppOptions LoadAppOptions(const CProfile& profile) {
    const CAppOptions defaults;
    CAppOptions options;
    options.m_strDevice = profile.GetProfileString(kDeviceSection, "PIC", defaults.m_strDevice);
    options.m_bDisProtect = ReadFlag(profile, "DisProtect", defaults.m_bDisProtect);
    options.m_bViewProtect = ReadFlag(profile, "ViewProtect", defaults.m_bViewProtect);
    options.m_bComplate = ReadFlag(profile, "Complate", defaults.m_bComplate);
    options.m_bUserId = ReadFlag(profile, "UserId", defaults.m_bUserId);
    options.m_bSumId = ReadFlag(profile, "SumId", defaults.m_bSumId);
    options.m_bDevId = ReadFlag(profile, "DevId", defaults.m_bDevId);
    options.m_bHexCheck = ReadFlag(profile, "HexCheck", defaults.m_bHexCheck);
    // The register holds 32 bits; a stored 0xFFFFFFFF comes back as -1 and
    // goes out again as 0xFFFFFFFF.
    options.m_nUserIdNo = static_cast<int>(
        profile.GetProfileInt(kBitSection, "UserIdNo", static_cast<uint32_t>(defaults.m_nUserIdNo)));
    options.m_bSkipBlank = ReadFlag(profile, "SkipBlank", defaults.m_bSkipBlank);
    options.m_bDeleteRegistry = false;
    return options;
}

void SaveAppOptions(CProfile& profile, const CAppOptions& options) {
    profile.WriteProfileString(kDeviceSection, "PIC", options.m_strDevice);
    WriteFlag(profile, "DisProtect", options.m_bDisProtect);
    WriteFlag(profile, "ViewProtect", options.m_bViewProtect);
    WriteFlag(profile, "Complate", options.m_bComplate);
    WriteFlag(profile, "UserId", options.m_bUserId);
    WriteFlag(profile, "SumId", options.m_bSumId);
    WriteFlag(profile, "DevId", options.m_bDevId);
    WriteFlag(profile, "HexCheck", options.m_bHexCheck);
    if (options.m_bUserId) {
        profile.WriteProfileInt(kBitSection, "UserIdNo", static_cast<uint32_t>(options.m_nUserIdNo));
    }
    WriteFlag(profile, "SkipBlank", options.m_bSkipBlank);
}

CSafetyOptions LoadSafetyOptions(const CProfile& profile) {
    CSafetyOptions options;
    options.m_bSnapshot = profile.GetProfileInt(kSafetySection, "Snapshot", 0U) != 0;
    return options;
}

void SaveSafetyOptions(CProfile& profile, const CSafetyOptions& options) {
    profile.WriteProfileInt(kSafetySection, "Snapshot", options.m_bSnapshot ? 1U : 0U);
}

void DeleteAppSettings(CProfile& profile) {
    ISettingsStore& store = profile.Store();
    DeleteProgramKey(store, profile.Company(), profile.AppName());
    if (ProgramKeyExists(store, profile.Company(), kOldAppName)) {
        DeleteProgramKey(store, profile.Company(), kOldAppName);
    }
}

void ExitSave(CProfile& profile, const CAppOptions& options) {
    SaveAppOptions(profile, options);
    if (options.m_bDeleteRegistry) {
        DeleteAppSettings(profile);
    }
}
