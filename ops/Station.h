// The programming station: the three images (the selected device, the file
// image and the writer), the operation runner over them, and the steps that
// every front end takes on them in the same way: selecting a device type,
// opening, loading and saving a hex file, the SUM_ID user ID, the reload
// check before a write, the recent-file list, and the choice of the writer's
// backend.
//
// Data moves between the images only by the copy operations of CPicDevice:
// selecting a device gives all three the new device's parameters and a blank
// image; loading a file copies file image to selected device to writer; the
// runner's commands do the rest (see ops/Runner.h).
//
// The station knows no window toolkit. What it shows goes through its front
// end (IStationFrontEnd): message boxes, status texts and the refresh of the
// displays whose contents it has changed. What only a window has (the device
// selector, the file dialogs, the menus, the wait cursor, the page buttons)
// stays with the window, which calls the steps here.
//
// Threads: everything runs on the owner's thread, as the runner does. The
// steps that change the images are refused while a sequence runs or a worker
// is busy, so the worker's image is never touched under it.
#pragma once

#include "device/DeviceList.h"
#include "image/HexFile.h"
#include "ops/BackendLink.h"
#include "ops/CalibrationWatch.h"
#include "ops/ConnectionDoctor.h"
#include "ops/Runner.h"
#include "ops/RunnerFrontEnd.h"
#include "ops/SafetyNet.h"
#include "settings/RecentFiles.h"
#include "writer/Writer.h"

#include <array>
#include <memory>
#include <string>

class CProfile;
class CSimWriter;

// What the station needs from its front end beyond what the runner needs.
// Every call comes on the owner's thread.
class IStationFrontEnd : public IRunnerFrontEnd {
public:
    // A device type has just been selected: the selected device holds its
    // parameters and a blank image. Show it from the start: the configuration
    // grid at page 0 (and the page buttons), program and EEPROM sizes, pin
    // count, device ID, user ID and both dumps.
    virtual void ShowSelectedDevice() = 0;
    // The recent-file list may have changed: rebuild its menu items from
    // CStation::RecentFiles.
    virtual void RebuildRecentMenu() = 0;
};

// Where the writer's packets go.
enum class EWriterBackend {
    None,      // no backend chosen: no writer is ever found
    LibUsb,    // the writer on the USB bus (through WinUSB on Windows)
    Simulated, // the simulated writer, with a simulated chip in its socket
    External,  // a link the caller owns (a test's)
};

enum class EBackendResult {
    Ok,
    Busy,        // a writer is open or an operation runs: the backend stays
    NoSimModel,  // the simulator has no model of the selected device type
    BadChipFile, // the simulated chip's file exists but cannot be loaded
};

// The SUM_ID rule: the image's checksum (UpdateChecksum) into its user ID
// words. A PIC18 device gets the low byte in ID 1 and the high byte in ID 2;
// a mid-range device the four nibbles, most significant first, in IDs 1 to 4.
// The other ID words, and the user ID of any other core, stay as they are.
void PutChecksumInUserId(CPicDevice& image);

// The file name of a device type's simulated chip in a chip folder: the name
// with every character other than a letter, digit, '-', '_' or '.' replaced
// by '_', a leading '.' guarded, and ".chip" appended.
std::string SimChipFileName(const std::string& deviceName);

class CStation : public IHexFileCheck {
public:
    // The selected device starts as the built-in default device; the file
    // image and the writer start empty, and no backend is chosen. The front
    // end answers the device catalogue's messages too. The recent-file list
    // lives in `recentFiles` (nullptr: the station keeps none). Both must
    // outlive the station.
    explicit CStation(IStationFrontEnd& frontEnd, CProfile* recentFiles = nullptr);
    // Stops a running worker, closes the writer, then lets the backend go.
    ~CStation() override;
    CStation(const CStation&) = delete;
    CStation& operator=(const CStation&) = delete;

    // --- the images and the runner ---
    CDeviceList& Device() { return m_device; }
    const CDeviceList& Device() const { return m_device; }
    CHexFile& File() { return m_file; }
    const CHexFile& File() const { return m_file; }
    CWriter& Writer() { return m_writer; }
    const CWriter& Writer() const { return m_writer; }
    CRunner& Runner() { return m_runner; }
    const CRunner& Runner() const { return m_runner; }
    // Snapshots, the calibration vault and the calibration commands; dormant
    // until given a folder (see ops/SafetyNet.h).
    CSafetyNet& SafetyNet() { return m_net; }
    const CSafetyNet& SafetyNet() const { return m_net; }

    // --- the writer's backend ---
    // Each replaces the backend; refused (Busy) while a writer is open
    // through the current one or an operation runs. The writer is opened by
    // the next poll (the runner's timer tick).
    // The writer on the USB bus (libusb, or WinUSB on Windows); its
    // transfers give up after transferTimeoutMs, or after the link's own
    // time-out when it is 0 (always, on WinUSB).
    EBackendResult UseLibUsb(unsigned transferTimeoutMs = 0);
    // The simulated writer. With a chip file that exists, the chip saved in
    // it; otherwise a blank chip of the selected device type, kept in the file
    // by SaveSimulatedChip when one is named. Strict timing makes the chip
    // demand the maximum programming and erase times.
    EBackendResult UseSimulator(const std::string& chipFile, bool strictTiming);
    // A link the caller owns and keeps alive while it is in use.
    EBackendResult UseLink(IUsbLink& link);
    EWriterBackend Backend() const { return m_backend; }
    // The simulated writer when it is the backend, else nullptr.
    CSimWriter* Simulator() { return m_pSim; }
    // The simulated writer with one chip per device type, each kept in its
    // own file in `folder` (SimChipFileName of the type; the folder is made
    // when missing), so that separate runs find the same chips. The chip in
    // the socket follows the selected device: it is put in now, and every
    // SelectDevice saves the chip of the old type to its file (when anything
    // was written to it) and puts in the one of the new type, as it was
    // saved or blank. SaveSimulatedChip saves the one in the socket. A type the
    // simulator has no model of, or whose file cannot be loaded, leaves the
    // socket empty (and a damaged file as it is).
    EBackendResult UseSimulatorChipFolder(const std::string& folder, bool strictTiming);
    // Saves the simulated chip to its file. True when there is nothing to
    // save (another backend, no chip file) or the save worked.
    bool SaveSimulatedChip();

    // --- the connection doctor ---
    // What stands between the user and the writer, one line a step (see
    // ops/ConnectionDoctor.h): the bus through the libusb probe, or the
    // simulated bus when the simulator is the backend; the writer through
    // the station's own backend. A writer the station holds open answers
    // with what the station read of it. False, with the report left alone,
    // while an operation or a snapshot runs.
    bool DiagnoseConnection(CDoctorReport& report);
    // The same over a probe and places of the caller's.
    bool DiagnoseConnection(IUsbProbe& probe, const CDoctorSetup& setup, CDoctorReport& report);

    // --- device selection ---
    // Loads the named entry of the catalogue into the selected device, shows
    // it (ShowSelectedDevice), gives the file image and then the writer its
    // parameters and blank image (the file image keeps its path), puts the
    // type's simulated chip in the socket in the chip-folder mode, and ends
    // with ApplySumId. False, with nothing changed, when the catalogue lacks
    // the name (or cannot be read: its message has been shown) or an
    // operation runs.
    bool SelectDevice(const std::string& name);
    // With the SUM_ID option on, the selected device's checksum into its user
    // ID (PutChecksumInUserId); then RefreshUserId in either case.
    void ApplySumId();

    // --- hex files ---
    // The file can be opened for reading: it moves to the top of the
    // recent-file list. Otherwise the message "ファイルが見つかりません" (error
    // icon, OK) and the path leaves the list. A folder, a device or a FIFO
    // does not open. RebuildRecentMenu in both cases.
    bool CheckHexFileOpen(const std::string& path);
    // With a path: reads the file into the file image, puts the checksum into
    // its user ID when SUM_ID is on, copies its four regions into the
    // selected device and from there into the writer, and refreshes the
    // dumps, the user ID and the configuration grid at the current page.
    // False, with all three images as they were, when the file cannot be read
    // (the caller tells the user) or an operation runs.
    // With an empty path: the check before a write. When the change watch
    // option is on and the loaded file has changed on disk, asks whether to
    // reload it; on Yes reads it again and carries it as above. True when it
    // was reloaded. A file that cannot be read again is reported with
    // "ファイルが見つかりません" and leaves the images as they were; on No
    // the watch keeps the old state, so the question comes again next time.
    bool ApplyHexFile(const std::string& path);
    // ApplyHexFile with the path, then the status text "Load Hex File" and a
    // cleared progress bar. A file that cannot be read (gone since the open
    // check) shows "ファイルが見つかりません", leaves the images and the
    // status line as they were, and gives false.
    bool LoadHexFile(const std::string& path);
    // What the window's Open does with a chosen path: CheckHexFileOpen, then
    // LoadHexFile.
    bool OpenHexFile(const std::string& path);
    // Recent file `number` (1 to 4), opened as OpenHexFile does.
    bool OpenRecentFile(int number);
    // Program memory, EEPROM and configuration of the selected device into
    // the file image (its user ID stays that of the last load, read or
    // selection), then written to `path`; on success the status text "Save
    // Hex File" and a cleared progress bar. False when the file could not be
    // written: the status line is left alone and the caller tells the user.
    // The file image keeps the path it was loaded from.
    bool SaveHexFile(const std::string& path);

    // IHexFileCheck: the runner's check before the write step, ApplyHexFile
    // with an empty path.
    bool CheckHexFileBeforeWrite() override;

    // --- recent files ---
    // Entry `number` (1 to 4) of the list, "" when it is missing or there is
    // no list.
    std::string RecentFile(int number) const;
    std::array<std::string, kRecentFileCount> RecentFiles() const;

private:
    // Reads `path` into the file image without touching it unless the read
    // works. False when the file cannot be read.
    bool ReadIntoFileImage(const std::string& path);
    // SUM_ID on the file image, its four regions into the selected device and
    // from there into the writer, and the displays refreshed.
    void CarryFileImage();
    bool ReloadChangedFile();
    // A snapshot's read counts as running: its completion reads the writer
    // with the selected device's parameters.
    bool MayChangeImages() const { return !m_runner.IsRunning() && !m_net.SnapshotRunning(); }
    // The backend behind the link is about to change.
    bool MayChangeBackend() const;
    void DropOwnedBackend();
    // In the chip-folder mode: the chip in the socket becomes the selected
    // device type's (the one there is saved first).
    void FollowDeviceWithSimulatedChip();

    IStationFrontEnd& m_front;
    CProfile* m_pRecentFiles;

    // Declared before the writer, so that the writer (closing the device)
    // and the runner (joining its worker) go first.
    std::unique_ptr<IUsbLink> m_pOwnedBackend;
    CSimWriter* m_pSim = nullptr;
    std::string m_simChipFile;
    std::string m_simChipFolder; // the chip-folder mode when not empty
    bool m_simStrictTiming = false;
    EWriterBackend m_backend = EWriterBackend::None;
    CBackendLink m_link;

    CDeviceList m_device;
    CHexFile m_file;
    CWriter m_writer;
    // The runner talks to the front end through the watch, which tells the
    // net of every calibration read.
    CCalibrationWatch m_watch;
    CRunner m_runner;
    CSafetyNet m_net;
};
