// The verify error report (dialog 137): for each memory area whether chip
// and image matched. When they could not be compared at all (the read-back
// and the image are of different device types), every area reads NG and one
// more line says why: a report of four OKs would call a failure a success.
#pragma once

#include "ui/DialogLogic.h"

#include <cstdint>

class CDlgVerifyError : public CDialogLogic {
public:
    const CDialogLayout& Layout() const override;
    bool OnInitDialog() override;

    // Shows the report for the writer's VerifyFlags, modally.
    static void Show(IWindowHost& host, int32_t verifyFlags);

    int32_t m_nErrorFlags = 0; // VerifyFlags of the compare (kVerify... bits)
};
