// How the WinUSB backend reads what Windows tells it: identifiers in device
// interface paths and hardware IDs, interface classes in registry form, the
// pipes of an interface descriptor; that the shipped driver package names the
// writer as the backend looks for it; and, on Windows, that the real system
// calls run and find no writer on a machine without one.
#include "writer/WriterLink.h"
#include "writer/usb_link/WinUsbLink.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

TEST(WinUsbLookup, IdentifiersComeFromPathsAndHardwareIdsOfEitherCase) {
    const struct {
        const char* Text;
        bool Found;
        CUsbIdPair Ids;
    } cases[] = {
        {"\\\\?\\usb#vid_0ade&pid_0010#5&2c5b8c2a&0&2#{6f5e5c2e-52ad-4e67-b342-b2022277e677}",
         true,
         {0x0ADE, 0x0010}},
        {"\\\\?\\USB#VID_08DA&PID_FF0B#6&1a2b3c&0&1#{A5DCBF10-6530-11D2-901F-00C04FB951ED}",
         true,
         {0x08DA, 0xFF0B}},
        {"USB\\VID_08da&PID_ff0b&REV_0100", true, {0x08DA, 0xFF0B}},
        {"\\\\?\\usb#vid_0ade&pid_0010&mi_01#7&1&0&0001#{6f5e5c2e-52ad-4e67-b342-b2022277e677}",
         true,
         {0x0ADE, 0x0010}},
        {"\\\\?\\hid#vid_0ade&pid_001#x", false, {}},  // a digit short
        {"\\\\?\\usb#vid_0adg&pid_0010#x", false, {}}, // not hexadecimal
        {"\\\\?\\usb#vid_0ade#pid_0010#x", false, {}}, // not one field
        {"\\\\?\\root#system#0000#{guid}", false, {}},
        {"", false, {}},
    };
    for (const auto& c : cases) {
        CUsbIdPair ids{0x1111, 0x2222};
        EXPECT_EQ(ParseUsbIdPair(c.Text, ids), c.Found) << c.Text;
        if (c.Found) {
            EXPECT_EQ(ids, c.Ids) << c.Text;
        } else {
            EXPECT_EQ(ids, (CUsbIdPair{0x1111, 0x2222})) << "left alone: " << c.Text;
        }
    }
}

TEST(WinUsbLookup, InterfaceClassesReadWithOrWithoutBraces) {
    CInterfaceGuid guid;
    ASSERT_TRUE(ParseInterfaceGuid(kWriterInterfaceGuidText, guid));
    EXPECT_EQ(guid, kWriterInterfaceGuid);
    CInterfaceGuid bare;
    ASSERT_TRUE(ParseInterfaceGuid("a5dcbf10-6530-11d2-901f-00c04fb951ed", bare));
    EXPECT_EQ(bare,
              (CInterfaceGuid{0xA5DCBF10, 0x6530, 0x11D2, {0x90, 0x1F, 0x00, 0xC0, 0x4F, 0xB9, 0x51, 0xED}}));

    for (const char* bad :
         {"", "{}", "{A5DCBF10-6530-11D2-901F-00C04FB951ED", "A5DCBF10-6530-11D2-901F-00C04FB951E",
          "A5DCBF10-6530-11D2-901F-00C04FB951EDD", "A5DCBF10+6530-11D2-901F-00C04FB951ED",
          "A5DCBF1G-6530-11D2-901F-00C04FB951ED", "{A5DCBF10-6530-11D2-901F00-C04FB951ED}"}) {
        CInterfaceGuid untouched = bare;
        EXPECT_FALSE(ParseInterfaceGuid(bad, untouched)) << bad;
        EXPECT_EQ(untouched, bare) << bad;
    }
}

TEST(WinUsbLookup, ThePipesAreTheFirstBulkPairOfTheInterface) {
    CWinUsbPipe out;
    CWinUsbPipe in;
    ASSERT_TRUE(ChooseBulkPipes(
        {{0x81, false, 8}, {0x82, true, 64}, {0x01, false, 8}, {0x03, true, 32}, {0x84, true, 16}}, out, in));
    EXPECT_EQ(out.PipeId, 0x03);
    EXPECT_EQ(out.MaxPacketSize, 32);
    EXPECT_EQ(in.PipeId, 0x82);
    EXPECT_FALSE(ChooseBulkPipes({{0x01, true, 64}, {0x81, false, 64}}, out, in)) << "no bulk IN";
    EXPECT_FALSE(ChooseBulkPipes({{0x81, true, 64}, {0x82, true, 64}}, out, in)) << "no bulk OUT";
    EXPECT_FALSE(ChooseBulkPipes({}, out, in));
}

TEST(WinUsbLookup, TheDriverPackageBindsBothIdentifierPairsToTheWritersClass) {
    std::ifstream file(KVX3_SOURCE_DIR "/data/kvx3-writer-winusb.inf", std::ios::binary);
    ASSERT_TRUE(file);
    const std::string inf((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    EXPECT_NE(inf.find(std::string("DeviceInterfaceGUIDs,0x10000,\"") + kWriterInterfaceGuidText + "\""),
              std::string::npos);
    for (const CUsbIdPair ids : {CUsbIdPair{CWriterLink::kVendorId, CWriterLink::kProductId},
                                 CUsbIdPair{CWriterLink::kAltVendorId, CWriterLink::kAltProductId}}) {
        char hardwareId[32];
        std::snprintf(hardwareId, sizeof hardwareId, "USB\\VID_%04X&PID_%04X", ids.VendorId, ids.ProductId);
        // Once for each of the three architectures.
        size_t count = 0;
        for (size_t at = inf.find(hardwareId); at != std::string::npos; at = inf.find(hardwareId, at + 1)) {
            ++count;
        }
        EXPECT_EQ(count, 3U) << hardwareId;
    }
    EXPECT_NE(inf.find("Include = winusb.inf"), std::string::npos);
    EXPECT_NE(inf.find("\r\n"), std::string::npos) << "an INF has Windows line ends";
}

#ifdef _WIN32
// The system calls themselves, on a machine without a writer (and, under
// Wine, without WinUSB): nothing is found and nothing breaks.
TEST(WinUsbLookup, TheRealSystemFindsNoWriterHere) {
    CWinUsbLink link(MakeWinUsbApi());
    EXPECT_EQ(link.OpenDevice(CWriterLink::kVendorId, CWriterLink::kProductId), IUsbLink::kInvalidHandle);
    EXPECT_EQ(link.OpenDevice(CWriterLink::kAltVendorId, CWriterLink::kAltProductId),
              IUsbLink::kInvalidHandle);
    EXPECT_EQ(link.ScanCount(), 2U) << "a listing for each new pair";
    EXPECT_NE(link.CheckPresence(1), 0);
    EXPECT_EQ(link.OpenPipe(1, IUsbLink::kPipeOut), IUsbLink::kInvalidHandle);
    std::printf("device notices from the system: %s\n", link.HasDeviceNotification() ? "yes" : "no");
}
#endif
