// The text form of one application's settings file.
#include "settings/KeyFile.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

std::string AllBytes() {
    std::string text;
    for (int c = 0; c < 256; ++c) {
        text += static_cast<char>(c);
    }
    return text;
}

// Shift-JIS for "設定" and "正常終了", which is not UTF-8.
const std::string kShiftJis = "\x90\xdd\x92\xe8 \x90\xb3\x8f\xed\x8f\x49\x97\xb9";

CKeyNode SampleTree() {
    CKeyNode app;
    app.Name = "KVX3";
    CKeyNode& device = app.Ensure({"Settings", "Device"});
    device.SetString("PIC", "PIC16F873A");
    CKeyNode& bit = app.Ensure({"Settings", "Bit"});
    bit.SetDword("DisProtect", 0);
    bit.SetDword("UserIdNo", 0x80000000U);
    CKeyNode& recent = app.EnsureSubKey("Recent File List");
    recent.SetString("File1", "/home/user/hex/blink.hex");
    recent.SetString("File2", "C:\\HEX\\[test]=\"x\"\r\nline2");
    recent.SetString("File3", kShiftJis);
    app.Ensure({"Empty Key"});
    return app;
}

void ExpectSameTree(const CKeyNode& a, const CKeyNode& b) {
    EXPECT_EQ(a.Name, b.Name);
    ASSERT_EQ(a.Values.size(), b.Values.size()) << a.Name;
    for (size_t i = 0; i < a.Values.size(); ++i) {
        EXPECT_EQ(a.Values[i].Name, b.Values[i].Name);
        EXPECT_EQ(a.Values[i].Type, b.Values[i].Type);
        EXPECT_EQ(a.Values[i].Text, b.Values[i].Text);
        EXPECT_EQ(a.Values[i].Number, b.Values[i].Number);
    }
    ASSERT_EQ(a.SubKeys.size(), b.SubKeys.size()) << a.Name;
    for (size_t i = 0; i < a.SubKeys.size(); ++i) {
        ExpectSameTree(a.SubKeys[i], b.SubKeys[i]);
    }
}

CKeyNode Parse(const std::string& text) {
    CKeyNode app;
    app.Name = "KVX3";
    ParseKeyFile(text, "Quorvane", app);
    return app;
}

} // namespace

TEST(KeyFileQuoting, EveryByteRoundTrips) {
    const std::vector<std::string> samples = {
        "",
        AllBytes(),
        kShiftJis,
        "日本語のパス/ファイル.hex",
        "a\\b\\\\c\"d\"",
        "[Settings]\n\"x\"=dword:00000001",
        std::string(1, '\0') + "after NUL",
        "\xe6\x97",     // cut-off UTF-8
        "\xed\xa0\x80", // an encoded surrogate
        "\xc0\xaf",     // an overlong slash
        std::string(100000, 'x') + "\xff",
    };
    for (const std::string& text : samples) {
        const std::string quoted = QuoteText(text);
        EXPECT_EQ(quoted.find('\n'), std::string::npos);
        EXPECT_EQ(quoted.find('\r'), std::string::npos);
        size_t pos = 0;
        std::string back;
        ASSERT_TRUE(UnquoteText(quoted, pos, back));
        EXPECT_EQ(pos, quoted.size());
        EXPECT_EQ(back, text);
    }
}

TEST(KeyFileQuoting, Utf8StaysReadableOtherBytesAreEscaped) {
    EXPECT_EQ(QuoteText("日本"), "\"日本\"");
    EXPECT_EQ(QuoteText("\x90\xdd"), "\"\\x90\\xdd\"");
    EXPECT_EQ(QuoteText("a\tb\x01\x7f"), "\"a\\tb\\x01\\x7f\"");
    EXPECT_EQ(QuoteText("C:\\x"), "\"C:\\\\x\"");
}

TEST(KeyFileQuoting, MalformedQuotedTextIsRefused) {
    for (const std::string text : {"", "abc", "\"abc", "\"abc\\", "\"a\\q\"", "\"\\x4\"", "\"\\xG0\""}) {
        size_t pos = 0;
        std::string out = "kept";
        EXPECT_FALSE(UnquoteText(text, pos, out)) << text;
        EXPECT_EQ(out, "kept");
        EXPECT_EQ(pos, 0U);
    }
}

TEST(KeyFile, ReadsAsARegistryExport) {
    const std::string text = FormatKeyFile(SampleTree(), "Quorvane");
    EXPECT_NE(text.find("[HKEY_CURRENT_USER\\Software\\Quorvane\\KVX3\\Settings\\Device]\n"
                        "\"PIC\"=\"PIC16F873A\"\n"),
              std::string::npos);
    EXPECT_NE(text.find("[HKEY_CURRENT_USER\\Software\\Quorvane\\KVX3\\Settings\\Bit]\n"
                        "\"DisProtect\"=dword:00000000\n"
                        "\"UserIdNo\"=dword:80000000\n"),
              std::string::npos);
    EXPECT_NE(text.find("\"File2\"=\"C:\\\\HEX\\\\[test]=\\\"x\\\"\\r\\nline2\"\n"), std::string::npos);
    // A key with subkeys but no values needs no section; an empty leaf does.
    EXPECT_EQ(text.find("KVX3\\Settings]"), std::string::npos);
    EXPECT_NE(text.find("[HKEY_CURRENT_USER\\Software\\Quorvane\\KVX3\\Empty Key]\n"), std::string::npos);
}

TEST(KeyFile, FormatThenParseGivesTheSameTree) {
    const CKeyNode tree = SampleTree();
    ExpectSameTree(Parse(FormatKeyFile(tree, "Quorvane")), tree);
}

TEST(KeyFile, HandEditsAreReadAndBadLinesSkipped) {
    const CKeyNode app = Parse("; comment\r\n"
                               "# another\n"
                               "\"Orphan\"=dword:00000001\n"
                               "  [hkey_current_user\\software\\QUORVANE\\kvx3\\Settings\\Bit]  \r\n"
                               "\"DisProtect\" = dword:00000005 \n"
                               "\"Short\"=dword:0001\n"
                               "\"Long\"=dword:000000001\n"
                               "\"Sign\"=dword:-0000001\n"
                               "\"Cut\"=\"no end\n"
                               "\"Trail\"=\"x\" junk\n"
                               "Bare=1\n"
                               "\"Dup\"=dword:00000001\n"
                               "\"Dup\"=dword:00000002\n"
                               "[HKEY_CURRENT_USER\\Software\\Quorvane\\KVX\\Settings]\n"
                               "\"Foreign\"=\"y\"\n"
                               "[HKEY_CURRENT_USER\\Software\\Quorvane\\KVX3\\Bad\\\\Path]\n"
                               "\"AlsoForeign\"=\"y\"\n"
                               "[HKEY_CURRENT_USER\\Software\\Quorvane\\KVX3\\Settings\\Device\n"
                               "\"Unclosed\"=\"y\"\n");
    const CKeyNode* bit =
        app.FindSubKey("Settings") ? app.FindSubKey("Settings")->FindSubKey("Bit") : nullptr;
    ASSERT_NE(bit, nullptr);
    ASSERT_EQ(bit->Values.size(), 2U);
    EXPECT_EQ(bit->Values[0].Name, "DisProtect");
    EXPECT_EQ(bit->Values[0].Number, 5U);
    EXPECT_EQ(bit->Values[1].Name, "Dup");
    EXPECT_EQ(bit->Values[1].Number, 2U);
    EXPECT_TRUE(app.Values.empty());
    EXPECT_EQ(app.SubKeys.size(), 1U);
    EXPECT_EQ(app.FindSubKey("Settings")->SubKeys.size(), 1U);
}

TEST(KeyFile, EveryTruncationYieldsOnlyValuesTheFileHeld) {
    CKeyNode tree = SampleTree();
    const std::string text = FormatKeyFile(tree, "Quorvane");
    for (size_t length = 0; length <= text.size(); ++length) {
        CKeyNode cut = Parse(text.substr(0, length));
        for (const std::vector<std::string>& path : std::vector<std::vector<std::string>>{
                 {"Settings", "Device"}, {"Settings", "Bit"}, {"Recent File List"}}) {
            const CKeyNode* got = cut.Find(path);
            const CKeyNode* want = tree.Find(path);
            if (got == nullptr) {
                continue;
            }
            for (const CRegValue& value : got->Values) {
                const CRegValue* original = want->FindValue(value.Name);
                ASSERT_NE(original, nullptr) << length;
                EXPECT_EQ(value.Type, original->Type) << length;
                EXPECT_EQ(value.Text, original->Text) << length;
                EXPECT_EQ(value.Number, original->Number) << length;
            }
        }
        if (length == text.size()) {
            ExpectSameTree(cut, tree);
        }
    }
}

TEST(KeyFile, GarbageNeverCrashesTheReader) {
    std::string text = FormatKeyFile(SampleTree(), "Quorvane");
    uint32_t seed = 12345;
    for (int round = 0; round < 2000; ++round) {
        std::string damaged = text;
        for (int k = 0; k < 8; ++k) {
            seed = seed * 1103515245U + 12345U;
            damaged[(seed >> 8) % damaged.size()] = static_cast<char>(seed >> 24);
        }
        CKeyNode app = Parse(damaged);
        // Whatever survived can be written and read back unchanged.
        ExpectSameTree(Parse(FormatKeyFile(app, "Quorvane")), app);
    }
}

TEST(KeyFile, ManyValuesAndSectionsReadInFull) {
    // A key of many values and many keys of one value each: both once took
    // a search of everything read so far for every line.
    constexpr int kCount = 4000;
    std::string text = "[HKEY_CURRENT_USER\\Software\\Quorvane\\KVX3\\Big]\n";
    for (int i = 0; i < kCount; ++i) {
        text += "\"V" + std::to_string(i) + "\"=dword:" + (i % 2 != 0 ? "00000001" : "00000002") + "\n";
    }
    text += "\"v7\"=\"replaced\"\n"; // the same name in another case replaces
    for (int i = 0; i < kCount; ++i) {
        text += "[HKEY_CURRENT_USER\\Software\\Quorvane\\KVX3\\Keys\\K" + std::to_string(i) + "]\n\"N\"=\"" +
                std::to_string(i) + "\"\n";
    }
    const CKeyNode app = Parse(text);
    const CKeyNode* big = app.FindSubKey("Big");
    ASSERT_NE(big, nullptr);
    ASSERT_EQ(big->Values.size(), static_cast<size_t>(kCount));
    EXPECT_EQ(big->Values[9].Name, "V9");
    EXPECT_EQ(big->Values[9].Number, 1U);
    EXPECT_EQ(big->Values[7].Name, "V7") << "the first spelling stays";
    EXPECT_EQ(big->Values[7].Type, EValueType::String);
    EXPECT_EQ(big->Values[7].Text, "replaced");
    const CKeyNode* keys = app.FindSubKey("Keys");
    ASSERT_NE(keys, nullptr);
    ASSERT_EQ(keys->SubKeys.size(), static_cast<size_t>(kCount));
    EXPECT_EQ(keys->SubKeys[2345].Name, "K2345");
    ASSERT_EQ(keys->SubKeys[2345].Values.size(), 1U);
    EXPECT_EQ(keys->SubKeys[2345].Values[0].Text, "2345");
    ExpectSameTree(Parse(FormatKeyFile(app, "Quorvane")), app);
}
