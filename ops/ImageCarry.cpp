#include "ops/ImageCarry.h"

#include "device/PicDevice.h"

void PutChecksumInUserId(CPicDevice& image) {
    image.UpdateChecksum();
    const uint32_t s = image.Checksum & 0xFFFF;
    if (image.CoreWidth == kCorePic18) {
        image.UserId[0] = s & 0xFF;
        image.UserId[1] = (s >> 8) & 0xFF;
    } else if (image.CoreWidth == kCoreMidRange) {
        image.UserId[0] = (s >> 12) & 0xF;
        image.UserId[1] = (s >> 8) & 0xF;
        image.UserId[2] = (s >> 4) & 0xF;
        image.UserId[3] = s & 0xF;
    }
}

void CarryFileImage(CPicDevice& file, CPicDevice& device, CPicDevice& writer, bool sumId) {
    if (sumId) {
        PutChecksumInUserId(file);
    }
    device.CopyProgram(file);
    device.CopyEeprom(file);
    device.CopyUserIds(file);
    device.CopyConfig(file);
    writer.CopyProgram(device);
    writer.CopyEeprom(device);
    writer.CopyUserIds(device);
    writer.CopyConfig(device);
}
