#include "ui/StringTable.h"

const char* StringTableText(int id) {
    switch (id) {
    case kIdsAboutBox:
        return "バージョン情報 KVX3(&A)...";
    case kIdsHexFilter:
        return "Hex Files (*.hex)|*.hex|All Files (*.*)|*.*||";
    default:
        return StringText(id);
    }
}
