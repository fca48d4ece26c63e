// The main window's hex file commands: open, save, the recent files and
// their menu items. The steps on the images are the station's.
#include "ui/MainDlg.h"

#include "ui/StringTable.h"

namespace {

CFileDialogRequest HexFileRequest(bool save) {
    CFileDialogRequest request;
    request.Save = save;
    request.Filter = StringTableText(kIdsHexFilter);
    if (save) {
        request.DefaultExt = "hex";
        request.InitialName = "ReadData.hex";
        // Replacing a file unasked would lose it; and a save must be free to
        // name a new file, so the chosen one need not exist.
        request.Options = kFileOverwritePrompt;
    } else {
        request.Options = kFileMustExist | kFileHideReadOnly;
    }
    return request;
}

} // namespace

std::string RecentFileMenuText(const std::string& path) {
    // UTF-8 inside: no byte of a multibyte character is taken for a separator.
    const size_t slash = path.find_last_of("\\/");
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    std::string text;
    text.reserve(name.size());
    for (const char c : name) {
        if (c == '&') {
            text += '&'; // "R&D.hex" is no mnemonic
        }
        text += c;
    }
    return text;
}

void CKVX3Dlg::OnFileOpen() {
    std::string path;
    if (!Host().RunFileDialog(HexFileRequest(false), path)) {
        return;
    }
    // The open check (recent-file list and menu), then the load; a file that
    // cannot be read has been reported and left the images as they were.
    (void)m_station.OpenHexFile(path);
}

void CKVX3Dlg::OnRecentFile(int number) {
    (void)m_station.OpenRecentFile(number);
}

void CKVX3Dlg::OnFileSave() {
    std::string path;
    if (!Host().RunFileDialog(HexFileRequest(true), path)) {
        return;
    }
    if (!m_station.SaveHexFile(path)) {
        // The status line keeps its text: nothing was saved.
        (void)Show(kMsgSaveFailed, EMsgIcon::Error, EMsgButtons::Ok);
    }
}

void CKVX3Dlg::RebuildRecentMenu() {
    if (!Attached() || m_nFileMenu < 0 || m_nFileMenu >= Host().MenuCount()) {
        return;
    }
    IWindowHost& host = Host();
    const int menu = m_nFileMenu;
    // The recent items go where the first of them stands.
    int insertAt = -1;
    for (int position = host.MenuItemCount(menu) - 1; position >= 0; --position) {
        const int id = host.MenuItemId(menu, position);
        if (id >= kIdmRecentFile1 && id <= kIdmRecentFileLast) {
            host.DeleteMenuItem(menu, position);
            insertAt = position;
        }
    }
    if (insertAt < 0) {
        return;
    }
    int inserted = 0;
    for (const std::string& path : m_station.RecentFiles()) {
        if (path.empty() || inserted == kRecentFiles) {
            break;
        }
        host.InsertMenuItem(menu, insertAt + inserted, kIdmRecentFile1 + inserted, RecentFileMenuText(path));
        ++inserted;
    }
    if (inserted == 0) {
        host.InsertMenuItem(menu, insertAt, kIdmRecentFile1, kTextRecentFilePlaceholder);
        host.EnableMenuItem(menu, insertAt, false);
    }
}
