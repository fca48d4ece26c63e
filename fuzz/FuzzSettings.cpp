// Any bytes as a settings file: the reader takes what it can, and what it
// took survives a save and a second read exactly, in the same order; the
// second save gives the same text as the first.
#include "fuzz/FuzzTarget.h"
#include "settings/KeyFile.h"
#include "settings/KeyTree.h"

#include <string_view>

namespace {

bool SameTree(const CKeyNode& a, const CKeyNode& b) {
    if (a.Name != b.Name || a.Values.size() != b.Values.size() || a.SubKeys.size() != b.SubKeys.size()) {
        return false;
    }
    for (size_t i = 0; i < a.Values.size(); ++i) {
        const CRegValue& x = a.Values[i];
        const CRegValue& y = b.Values[i];
        if (x.Name != y.Name || x.Type != y.Type || x.Text != y.Text || x.Number != y.Number) {
            return false;
        }
    }
    for (size_t i = 0; i < a.SubKeys.size(); ++i) {
        if (!SameTree(a.SubKeys[i], b.SubKeys[i])) {
            return false;
        }
    }
    return true;
}

} // namespace

int FuzzSettings(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    CKeyNode first;
    first.Name = "KVX3";
    ParseKeyFile(text, "Quorvane", first);
    const std::string saved = FormatKeyFile(first, "Quorvane");

    CKeyNode second;
    second.Name = "KVX3";
    ParseKeyFile(saved, "Quorvane", second);
    KVX3_FUZZ_CHECK(SameTree(first, second));
    KVX3_FUZZ_CHECK(FormatKeyFile(second, "Quorvane") == saved);
    return 0;
}

KVX3_FUZZ_ENTRY(FuzzSettings)
