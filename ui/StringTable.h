// The window's string table (ids 101 to 113) and the message texts of the
// window and its dialogs. The status texts 103 to 113 and the operation
// messages live with the operation runner (ops/Strings.h), which the
// command-line tool shares, and the catalogue's and the hex reader's own
// messages with them (kMsgDeviceListMissing in device/DeviceList.h,
// kMsgHexChanged in image/HexFile.h); this adds what only the window shows.
#pragma once

#include "ops/Strings.h"

enum : int {
    kIdsAboutBox = 101,  // the about item of the system menu
    kIdsHexFilter = 102, // the open and save dialogs' filter
};

// The text of string table entry `id` (101 to 113); "" for any other id.
const char* StringTableText(int id);

// The File menu's only recent-file item while the list is empty (grayed).
constexpr const char* kTextRecentFilePlaceholder = "最新のファイル";
// A hex file that could not be written (the old file, if any, is kept).
constexpr const char* kMsgSaveFailed = "ファイルを書き込めません";
// Verify error report, flag 0x01: image and chip read back as different
// device types, so no area could be compared.
constexpr const char* kMsgVerifyDifferentDevice = "デバイスの種類が一致しません";
