// The station's steps on its three images: device selection, SUM_ID, the hex
// file commands and the recent-file list. The backend choice is in
// StationBackend.cpp.
#include "ops/Station.h"

#include "ops/Strings.h"
#include "settings/Profile.h"

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

CStation::CStation(IStationFrontEnd& frontEnd, CProfile* recentFiles)
    : m_front(frontEnd), m_pRecentFiles(recentFiles), m_device(&frontEnd), m_writer(m_link),
      m_watch(frontEnd), m_runner(m_device, m_file, m_writer, m_watch, this),
      m_net(m_device, m_writer, m_runner, frontEnd) {
    m_watch.Attach(m_runner, m_net);
}

CStation::~CStation() = default;

// ------------------------------------------------------- device selection

bool CStation::SelectDevice(const std::string& name) {
    if (!MayChangeImages() || !m_device.LoadDevice(name)) {
        return false;
    }
    m_front.ShowSelectedDevice();
    m_file.AssignFrom(m_device);
    m_writer.AssignFrom(m_file);
    FollowDeviceWithSimulatedChip();
    ApplySumId();
    return true;
}

void CStation::ApplySumId() {
    if (m_front.Options().m_bSumId) {
        PutChecksumInUserId(m_device);
    }
    m_front.RefreshUserId();
}

// -------------------------------------------------------------- hex files

bool CStation::CheckHexFileOpen(const std::string& path) {
    const bool opens = CanOpenHexFile(path);
    if (opens) {
        if (m_pRecentFiles != nullptr) {
            AddRecentFile(*m_pRecentFiles, path);
        }
    } else {
        m_front.Show(kMsgFileNotFound, EMsgIcon::Error, EMsgButtons::Ok);
        if (m_pRecentFiles != nullptr) {
            RemoveRecentFile(*m_pRecentFiles, path);
        }
    }
    m_front.RebuildRecentMenu();
    return opens;
}

bool CStation::ReadIntoFileImage(const std::string& path) {
    // LoadHex clears its image before it knows whether the file can be read;
    // a file that is gone must not leave a blank image to be carried on.
    CHexFile fresh;
    fresh.AssignFrom(m_file);
    if (!fresh.LoadHex(path)) {
        return false;
    }
    m_file.CopyProgram(fresh);
    m_file.CopyEeprom(fresh);
    m_file.CopyUserIds(fresh);
    m_file.CopyConfig(fresh);
    m_file.Checksum = fresh.Checksum;
    m_file.SegmentBase = fresh.SegmentBase;
    m_file.FilePath = fresh.FilePath;
    m_file.FileStatus = fresh.FileStatus;
    m_file.BadRecordCount = fresh.BadRecordCount;
    m_file.ReadReport = fresh.ReadReport;
    return true;
}

void CStation::CarryFileImage() {
    if (m_front.Options().m_bSumId) {
        PutChecksumInUserId(m_file);
    }
    m_device.CopyProgram(m_file);
    m_device.CopyEeprom(m_file);
    m_device.CopyUserIds(m_file);
    m_device.CopyConfig(m_file);
    m_writer.CopyProgram(m_device);
    m_writer.CopyEeprom(m_device);
    m_writer.CopyUserIds(m_device);
    m_writer.CopyConfig(m_device);
    m_front.RefreshProgramDump();
    m_front.RefreshEepromDump();
    m_front.RefreshUserId();
    m_front.RefreshConfigGrid(m_front.ConfigPage());
}

bool CStation::ReloadChangedFile() {
    // Runs inside the write step of Program: Busy is set, no worker yet.
    if (!m_front.Options().m_bHexCheck || m_file.FilePath.empty()) {
        return false;
    }
    if (GetFileStatus(m_file.FilePath) == m_file.FileStatus) {
        return false;
    }
    if (m_front.Show(kMsgHexChanged, EMsgIcon::Exclamation, EMsgButtons::YesNo) != EMsgResult::Yes) {
        return false;
    }
    if (!ReadIntoFileImage(m_file.FilePath)) {
        // Writing a blank image in place of a vanished file would pass its
        // verify and leave an empty chip; the image shown is written instead.
        m_front.Show(kMsgFileNotFound, EMsgIcon::Error, EMsgButtons::Ok);
        return false;
    }
    CarryFileImage();
    return true;
}

bool CStation::ApplyHexFile(const std::string& path) {
    if (path.empty()) {
        return ReloadChangedFile();
    }
    if (!MayChangeImages() || !ReadIntoFileImage(path)) {
        return false;
    }
    CarryFileImage();
    return true;
}

bool CStation::CheckHexFileBeforeWrite() {
    return ApplyHexFile("");
}

bool CStation::LoadHexFile(const std::string& path) {
    if (!MayChangeImages()) {
        return false;
    }
    if (!ApplyHexFile(path)) {
        m_front.Show(kMsgFileNotFound, EMsgIcon::Error, EMsgButtons::Ok);
        return false;
    }
    m_front.SetStatusText(kIdsLoadHex);
    m_runner.ResetProgress();
    return true;
}

bool CStation::OpenHexFile(const std::string& path) {
    return CheckHexFileOpen(path) && LoadHexFile(path);
}

bool CStation::OpenRecentFile(int number) {
    return OpenHexFile(RecentFile(number));
}

bool CStation::SaveHexFile(const std::string& path) {
    m_file.CopyProgram(m_device);
    m_file.CopyEeprom(m_device);
    m_file.CopyConfig(m_device);
    if (!m_file.SaveHex(path)) {
        return false;
    }
    m_front.SetStatusText(kIdsSaveHex);
    m_runner.ResetProgress();
    return true;
}

// ----------------------------------------------------------- recent files

std::string CStation::RecentFile(int number) const {
    return m_pRecentFiles != nullptr ? GetRecentFile(*m_pRecentFiles, number) : std::string{};
}

std::array<std::string, kRecentFileCount> CStation::RecentFiles() const {
    if (m_pRecentFiles == nullptr) {
        return {};
    }
    return ReadRecentFiles(*m_pRecentFiles);
}
