// The browser edition's window: DialogControls over the page's globalThis.tarvexWindow, and
// the module's entry points the page calls. The behaviour is CTarvexDlg's alone; this only
// carries values between it and the page.
//
// The module (build-web/site/tarvex.js + tarvex.wasm) is an ES module factory:
//
//   import createTarvexModule from './tarvex.js';
//   const Module = await createTarvexModule();   // resolves once the persisted folders
//                                                //  are loaded from IndexedDB
//
// What the page calls (every async call waits its turn: calls are queued one behind the
// other, never run into each other; after each, the posted calls run, the virtual gyro's
// queued stream frames go out and the persisted folders are saved to IndexedDB):
//
//   await Module.tarvexCall(name, arg)    CTarvexDlg's handler by name ('OnRead', 'OnWrite',
//                                          'OnFileOpen', ... see kHandlers in Exports.cpp);
//                                          'OnRecentFile' takes the index, 'OnDropFiles' an
//                                          array of module paths; 'OnInitDialog' creates the
//                                          dialog first (anew when one ran before; its
//                                          device was closed when it ended) and gives its
//                                          bool. Gives the handler's number (OnInitDialog: 1 or 0;
//                                          others 0). Rejects for an unknown name, or when the
//                                          dialog is not started.
//   Module.tarvexQuery('HasUnwrittenData' | 'LimitProcedureRunning') -> bool  (sync; only
//                                  while no call runs)
//   await Module.tarvexSaveCopy(path) -> bool   the window's settings file (what Save writes) at
//                                  path, nothing remembered (Share Setup)
//   Module.tarvexCaption(source, comment = '') -> the window's caption in the language
//   Module.tarvexText(id) -> string-table text (101..136, and 0xF11A / 0xF114)
//   Module.tarvexSetLanguage(code) -> the code chosen ('en'|'de'|'ja'); '' picks one from
//                                      navigator.languages
//   Module.tarvexUseVirtualGyro()  the adapter binds the linked-in virtual gyro
//   Module.tarvexUsePort()         the adapter binds globalThis.tarvexPort (web/PortD2xx.cpp)
//     (either before 'OnInitDialog'; without one the dialog reports the missing driver)
//   Module.tarvexVirtualGyroFaults(list) -> bool  the virtual gyro's faults for tests
//                                  (sim/VirtualGyroControl.h's list, '' clears them)
//   Module.tarvexFilesFolder       '/tarvex/files': where chosen and saved settings files go
//   Module.tarvexStateFolder       '/tarvex/state/tarvex': backups, the virtual gyro's record
//   Module.tarvexIdle() -> promise resolved once no call runs or waits
//   Module.tarvexStore             the files stored one by one in IndexedDB: put(path,
//                                  bytes[, deliver]), remove(path), refresh() (web/FileStore.cpp)
//   Module.tarvexFileSink          set by the page: (path, bytes) -> promise, writes a saved
//                                  file of the files folder where the user keeps it
//   Module.tarvexWithFiles(work)   runs work in a turn of its own (imports, exports)
//   Module.tarvexStreamInfo()      {running, frames, kind, tickMs[]}: the stream's state
//                                  and the last tick intervals (for tests and figures)
//   Module.FS                      the module's file system
//
// What the module calls on globalThis.tarvexWindow is listed in web/WebWindow.cpp and the
// contract (setText, getText, setCheck, ..., showMessage, chooseOpenFile, ...).
#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "dialog/DialogControls.h"

class WebWindow final : public DialogControls {
  public:
    void SetText(int id, const std::string& text) override;
    std::string GetText(int id) const override;
    void SetNumber(int id, int value) override;
    int GetNumber(int id) const override;
    void SetCheck(int id, bool checked) override;
    bool GetCheck(int id) const override;
    void SetRadio(int firstId, int lastId, int checkedId) override;
    void SetEnabled(int id, bool enabled) override;
    void SetReadOnly(int id, bool readOnly) override;
    void SetTrackbarRange(int id, int minimum, int maximum, int tick) override;
    void SetTrackbarPos(int id, int position) override;
    int GetTrackbarPos(int id) const override;
    void SetListItems(int id, const std::vector<std::string>& items) override;
    void SetListSelection(int id, int index) override;
    int GetListSelection(int id) const override;
    void SetFocus(int id) override;
    void SetWaitCursor(bool on) override;
    void Beep() override;
    void EndDialog(DialogResult result) override;
    void SetTitle(const std::string& title, TitleMarker marker) override;
    void SetRecentMenu(const std::vector<RecentMenuItem>& items) override;
    void ShowAbout() override;
    MessageAnswer ShowMessage(int id, const std::string& text, MessageIcon icon,
                              MessageButtons buttons) override;
    std::optional<std::string> ChooseOpenFile(const std::string& folder = {}) override;
    std::optional<std::string> ChooseSaveAsFile() override;
    // Queued; the page's dispatcher runs the queue once the running call has returned.
    void PostToDialogThread(std::function<void()> call) override;
    std::vector<std::string> LoadRecentFiles() override;
    void SaveRecentFiles(const std::vector<std::string>& paths) override;
    std::string LoadString(int id) override;

    // Runs the posted calls in order, those posted meanwhile included.
    void RunPosted();

    // Whether the dialog has ended (EndDialog): its link is then closed.
    bool Ended() const { return ended_; }

  private:
    std::deque<std::function<void()>> posted_;
    bool ended_ = false;
};
