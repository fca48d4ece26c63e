// The settings menu: the option check items and the two settings dialogs.
// Items are found by their ids wherever they stand, so menus and items added
// later do not move anything here.
#include "ui/MainDlg.h"

#include "ui/DlgCalibration.h"
#include "ui/DlgProtect.h"

#include <algorithm>
#include <iterator>

void CKVX3Dlg::SetMenuCheck(int id, bool on) {
    if (!Attached()) {
        return;
    }
    int menu = 0;
    int position = 0;
    if (FindMenuItem(Host(), id, menu, position)) {
        Host().CheckMenuItem(menu, position, on);
    }
}

void CKVX3Dlg::OnCompleteMessage() {
    m_bComplate = !m_bComplate;
    SetMenuCheck(kIdmCompleteMessage, m_bComplate);
}

void CKVX3Dlg::OnHexCheck() {
    m_bHexCheck = !m_bHexCheck;
    SetMenuCheck(kIdmHexCheck, m_bHexCheck);
}

void CKVX3Dlg::OnDeleteRegistry() {
    m_bDeleteRegistry = !m_bDeleteRegistry;
    SetMenuCheck(kIdmDeleteRegistry, m_bDeleteRegistry);
}

void CKVX3Dlg::OnSkipBlank() {
    m_bSkipBlank = !m_bSkipBlank;
    SetMenuCheck(kIdmSkipBlank, m_bSkipBlank);
}

void CKVX3Dlg::OnDeviceIdCheck() {
    m_bDevId = !m_bDevId;
    SetMenuCheck(kIdmDeviceIdCheck, m_bDevId);
    m_station.Writer().DeviceIdCheck = m_bDevId;
}

void CKVX3Dlg::OnSumId() {
    if (m_bSumId) {
        m_bSumId = false;
        // Back to blank IDs: the checksum no longer stands for anything.
        CDeviceList& device = m_station.Device();
        const uint32_t blank = device.CoreWidth == kCorePic18 ? 0xFFU : 0x0FU;
        std::fill(std::begin(device.UserId), std::end(device.UserId), blank);
    } else {
        m_bSumId = true;
    }
    SetMenuCheck(kIdmSumId, m_bSumId);
    ApplySumId();
}

void CKVX3Dlg::OnProtectSettings() {
    if (CDlgProtect::Edit(Host(), m_bDisProtect, m_bViewProtect)) {
        // The colours follow the protect view at once.
        RefreshConfigGrid(m_nConfigPage);
    }
}

void CKVX3Dlg::OnCalibrationSettings() {
    (void)CDlgCalibration::Edit(Host(), m_bRewriteCalibration);
}
