// Menu 129, the main window's menu bar. The File menu ends with the exit
// item: the window finds the File menu by that last item, and the
// recent-file items go where the placeholder stands.
#include "ui/LayoutTables.h"
#include "ui/ResourceIds.h"
#include "ui/StringTable.h"

namespace {

constexpr CMenuItemDef kFileItems[] = {
    {kIdmHexOpen, "Hexファイル読み込み"},
    {kIdmHexSave, "Hexファイル書き出し"},
    {0, ""},
    {kIdmRecentFile1, kTextRecentFilePlaceholder, false, true},
    {0, ""},
    {kIdmExit, "アプリケーションの終了(&X)"},
};

constexpr CMenuItemDef kSettingsItems[] = {
    {kIdmProtectSettings, "プロテクト設定..."},
    {kIdmCalibrationSettings, "キャリブレーション設定..."},
    {0, ""},
    {kIdmCompleteMessage, "正常終了時にメッセージを出す", true},
    {kIdmHexCheck, "HexFileの更新をチェックする", true},
    {kIdmDeviceIdCheck, "Device IDをチェックする", true},
    {kIdmSumId, "SUM_IDを使用する", true},
    {kIdmDeleteRegistry, "レジストリからデータを削除", true},
    // Added at the end, so that every earlier item keeps its position.
    {kIdmSkipBlank, "空き領域を書き込まない", true},
};

constexpr CMenuItemDef kReadItems[] = {
    {kIdmReadAll, "全て(&A)"},
    {kIdmReadProgram, "Program(&P)"},
    {kIdmReadData, "Data(&D)"},
    {kIdmReadConfig, "ConfigBit(&C)"},
};

// After the original menus, so that none of theirs moves.
constexpr CMenuItemDef kToolsItems[] = {
    {kIdmPreflight, "書き込み前チェック..."},
    {kIdmDiffChip, "チップとファイルの差分..."},
    {0, ""},
    {kIdmSnapshotBeforeWrite, "書き込み前にスナップショットを取る", true},
    {kIdmRollback, "スナップショットから戻す..."},
    {0, ""},
    {kIdmCalibrationValues, "キャリブレーション値..."},
    {kIdmDoctor, "接続診断..."},
};

constexpr CMenuPopupDef kMainPopups[] = {
    {"ファイル(&F)", kFileItems},
    {"設定(&O)", kSettingsItems},
    {"読み込み(&R)", kReadItems},
    {"ツール(&T)", kToolsItems},
};

} // namespace

const CMenuLayout kMainMenu = {kIdrMainMenu, kMainPopups};
