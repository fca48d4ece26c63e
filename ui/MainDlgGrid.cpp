// The configuration grid (four words at a time, one cell per bit, named from
// the legend), its page buttons and cell colours, and the user ID cells.
#include "ui/MainDlg.h"

#include <cstdio>

namespace {

constexpr const char* kEmptyCellText = "---";
constexpr const char* kEmptyWordText = "----";

uint8_t Bit(uint32_t word, int bit) {
    return static_cast<uint8_t>((word >> bit) & 1U);
}

} // namespace

// ------------------------------------------------------------------- grid

void CKVX3Dlg::RefreshConfigGrid(int page) {
    if (!Attached() || page < 0 || page > kLastConfigPage) {
        return;
    }
    CDeviceList& device = m_station.Device();
    const int width = device.CoreWidth;
    // One walk through the legend: W tokens per word, highest bit first.
    int token = 0;
    for (int skip = 0; width > 0 && skip < width * page; ++skip) {
        (void)device.NextLegendToken(token++);
    }
    for (int row = 0; row < kGridRows; ++row) {
        const int word = page + row;
        bool bit0Named = false;
        for (int column = kGridColumns - 1; column >= 0; --column) {
            // Columns above an 8-bit word's top bit take no token.
            std::string text = column < width ? device.NextLegendToken(token++) : std::string();
            const int id = ConfigCellId(row, column);
            const bool named = !text.empty();
            if (column == 0) {
                bit0Named = named;
            }
            if (named) {
                m_cellValue[row][column] = Bit(device.Config[word], column);
                m_cellSettable[row][column] = Bit(device.ConfigNamedMask[word], column);
                m_cellProtect[row][column] = Bit(device.ConfigProtectMask[word], column);
                m_cellCalibration[row][column] = Bit(device.ConfigCalMask[word], column);
                // The legend's marks (protect, calibration, erased as 0) are
                // not shown.
                text = LegendLabel(text);
                Host().EnableItem(id, true);
                Host().SetItemText(id, text);
            } else {
                m_cellValue[row][column] = 0;
                m_cellSettable[row][column] = 0;
                m_cellProtect[row][column] = 0;
                m_cellCalibration[row][column] = 0;
                Host().EnableItem(id, false);
                Host().SetItemText(id, kEmptyCellText);
            }
            // The colours follow the new flags even where the text stayed.
            Host().RepaintItem(id);
        }
        if (bit0Named) {
            SetWordLabel(row, device.Config[word]);
        } else {
            Host().SetItemText(WordLabelId(row), kEmptyWordText);
        }
    }
}

void CKVX3Dlg::SetWordLabel(int row, uint32_t value) {
    char text[16];
    if (m_station.Device().CoreWidth == kCorePic18) {
        std::snprintf(text, sizeof text, "%02X", value);
    } else {
        std::snprintf(text, sizeof text, "%04X", value);
    }
    Host().SetItemText(WordLabelId(row), text);
}

void CKVX3Dlg::ToggleConfigBit(int cellId, int row, int column) {
    // The running worker's image is the writer's, but a change here would
    // not be what it writes: clicks wait for the operation to end.
    if (m_station.Runner().IsBusy()) {
        return;
    }
    if (row < 0 || row >= kGridRows || column < 0 || column >= kGridColumns) {
        return;
    }
    if (m_cellSettable[row][column] == 0) {
        return;
    }
    if (m_cellCalibration[row][column] != 0 && !m_bRewriteCalibration) {
        return;
    }
    uint8_t& value = m_cellValue[row][column];
    value = value != 0 ? 0 : 1;
    uint32_t& word = m_station.Device().Config[m_nConfigPage + row];
    if (value != 0) {
        word |= 1U << column;
    } else {
        word &= ~(1U << column);
    }
    Host().SetItemText(cellId, Host().GetItemText(cellId));
    Host().RepaintItem(cellId);
    SetWordLabel(row, word);
}

void CKVX3Dlg::OnPrev() {
    if (m_nConfigPage <= 0) {
        return;
    }
    --m_nConfigPage;
    RefreshConfigGrid(m_nConfigPage);
    if (m_nConfigPage == 0) {
        Host().EnableItem(kIdcPrev, false);
    } else if (m_nConfigPage == kLastConfigPage - 1) {
        Host().EnableItem(kIdcNext, true);
    }
}

void CKVX3Dlg::OnNext() {
    if (m_nConfigPage >= kLastConfigPage) {
        return;
    }
    ++m_nConfigPage;
    RefreshConfigGrid(m_nConfigPage);
    if (m_nConfigPage == kLastConfigPage) {
        Host().EnableItem(kIdcNext, false);
    } else if (m_nConfigPage == 1) {
        Host().EnableItem(kIdcPrev, true);
    }
}

ECellBackground CKVX3Dlg::ControlBackground(int id) const {
    if (id < kIdcConfigCell0 || id > kIdcConfigCellLast) {
        return ECellBackground::Default;
    }
    const int cell = id - kIdcConfigCell0;
    const int row = cell / kGridColumns;
    const int column = cell % kGridColumns;
    return DecideCellBackground(m_cellValue[row][column] != 0, m_cellProtect[row][column] != 0,
                                m_bViewProtect);
}

// ---------------------------------------------------------------- user ID

void CKVX3Dlg::RefreshUserId() {
    if (!Attached()) {
        return;
    }
    const CDeviceList& device = m_station.Device();
    for (int k = 1; k <= kUserIdCells; ++k) {
        const uint32_t value = device.UserId[k - 1];
        const int id = UserIdCellId(k);
        char text[16];
        if (device.CoreWidth == kCorePic18) {
            std::snprintf(text, sizeof text, "%02X", value & 0xFF);
            Host().EnableItem(id, true);
        } else if (k <= 4) {
            std::snprintf(text, sizeof text, "%X", value & 0xF);
            Host().EnableItem(id, true);
        } else {
            std::snprintf(text, sizeof text, "%s", kEmptyWordText);
            Host().EnableItem(id, false);
        }
        Host().SetItemText(id, text);
    }
}

void CKVX3Dlg::OnUserIdCell(int k) {
    if (m_bSumId || k < 1 || k > kUserIdCells) {
        return;
    }
    CDeviceList& device = m_station.Device();
    const bool pic18 = device.CoreWidth == kCorePic18;
    if (!pic18 && k > 4) {
        return; // a mid-range device has four IDs; the other cells are disabled
    }
    uint32_t& id = device.UserId[k - 1];
    id = (id + 1) & (pic18 ? 0xFFU : 0xFU);
    RefreshUserId();
}

void CKVX3Dlg::ApplySumId() {
    m_station.ApplySumId();
}
