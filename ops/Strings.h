// The string table of the main window (ids 103 to 113) and the fixed texts the
// operation runner shows. Every front end takes its texts from here, so the
// window and the command-line tool say the same thing.
#pragma once

// String table ids.
enum : int {
    kIdsConnect = 103,      // the writer has just been found
    kIdsNotConnected = 104, // at start-up, and when the writer has just been lost
    kIdsWrite = 105,
    kIdsRead = 106,
    kIdsVerify = 107,
    kIdsErase = 108,
    kIdsCalibrationRead = 109,
    kIdsCalibrationWrite = 110,
    kIdsLoadHex = 111,
    kIdsSaveHex = 112,
    kIdsSelectDevice = 113,
};

// The text of a string table entry; "" for an id the table does not hold.
const char* StringText(int id);

// Writer label while no writer is attached (the spelling is the system's own).
constexpr const char* kWriterLabelDisconnected = "Disconect Writer";

constexpr const char* kMsgDeviceIdMismatch = "デバイスIDが一致しません";
constexpr const char* kMsgCompleted = "正常終了しました。";
// The writer went during an exchange the sequence needed.
constexpr const char* kMsgWriterLost = "ライターとの接続が切れました。";
// The writer stayed attached but stopped answering.
constexpr const char* kMsgWriterNotAnswering = "ライターが応答しません。";
// A packet or an answer was lost on the way.
constexpr const char* kMsgTransferFailed = "ライターとの通信に失敗しました。";
// Program: the code protection could not be written after a clean compare.
constexpr const char* kMsgProtectFailed =
    "プロテクトの書き込みに失敗しました。\nチップはプロテクトされていない可能性があります。";
// A hex file that cannot be opened or read.
constexpr const char* kMsgFileNotFound = "ファイルが見つかりません";
