// The selected device: reads the device catalogue (PicDeviceList3.txt beside
// the executable) and holds the parameters and image of the chosen entry.
#pragma once

#include "device/PicDevice.h"
#include "device/UserPrompt.h"

#include <string>
#include <vector>

constexpr const char* kDeviceListFileName = "PicDeviceList3.txt";
constexpr const char* kDefaultDeviceName = "PIC16F873A";
constexpr const char* kMsgDeviceListMissing = "デバイス リストファイルが見つかりません。";

// Where FillSelector puts the names: the window's drop-down list, or a plain list.
class IDeviceSelector {
public:
    virtual ~IDeviceSelector() = default;
    virtual void AddItem(const std::string& name) = 0;
};

class CNameList : public IDeviceSelector {
public:
    void AddItem(const std::string& name) override { Names.push_back(name); }
    std::vector<std::string> Names;
};

class CDeviceList : public CPicDevice {
public:
    // The default device (PIC16F873A) with blank images. Messages go to
    // `messages` when it is given; without one they are not shown.
    explicit CDeviceList(IMessageBox* messages = nullptr);
    // Where the catalogue's messages go from now on; null shows none.
    void SetMessageBox(IMessageBox* messages) { m_pMessages = messages; }

    std::string ListPath;     // full path of the catalogue; found on first use
    std::string LegendCursor; // what NextLegendToken has not walked yet

    // Reads the whole catalogue (as UTF-8 text, whatever its encoding on disk).
    // On failure shows the missing-file message and returns false.
    bool OpenList(std::string& text);
    // Appends the name of every entry line, in file order; false only when the
    // catalogue cannot be read.
    bool FillSelector(IDeviceSelector& selector);
    // Loads the first entry named `name`. Returns false (record unchanged) when
    // the catalogue cannot be read or no entry has that name.
    bool LoadDevice(const std::string& name);
    // The next legend token's inner text; index 0 restarts the walk.
    std::string NextLegendToken(int index);

private:
    void ApplyEntry(const std::string& line);
    IMessageBox* m_pMessages = nullptr;
};

// The directory of the running executable joined with the catalogue's name;
// the bare name when the executable's path cannot be found.
std::string DefaultDeviceListPath();
