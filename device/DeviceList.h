// The selected device: reads the device catalogue (PicDeviceList3.txt beside
// the executable) and holds the parameters and image of the chosen entry.
#pragma once

#include "device/PicDevice.h"
#include "device/UserPrompt.h"
#include "platform/Platform.h"

#include <string>
#include <vector>

constexpr const char* kDeviceListFileName = "PicDeviceList3.txt";
constexpr const char* kDefaultDeviceName = "PIC16F873A";
constexpr const char* kMsgDeviceListMissing = "デバイス リストファイルが見つかりません。";
// The largest catalogue read. The shipped one is 12 KB, its longest line 706
// bytes; a line of that length for each of the roughly 1,000 flash devices of
// both families would be 0.7 MB, so 4 MiB leaves five times that. Anything
// larger is no catalogue and is refused rather than read into memory.
constexpr size_t kMaxDeviceListBytes = 4 * 1024 * 1024;

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
    // How the last read of the catalogue went: why it could not be read (a
    // folder, a device, too large) when OpenList has failed.
    EReadResult ListReadResult = EReadResult::Read;

    // Reads the whole catalogue (as UTF-8 text, whatever its encoding on disk).
    // Only a plain file of at most kMaxDeviceListBytes is read. On failure
    // shows the missing-file message and returns false (ListReadResult says
    // why).
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
