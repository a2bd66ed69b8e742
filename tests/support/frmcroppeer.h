#pragma once
// What the tests and the benchmarks reach inside the main window: its models through
// this one friend, its controls by their object names.

#include <QAction>
#include <QComboBox>
#include <QPushButton>
#include <QScrollBar>
#include <memory>
#include <string>

#include "acquisition/capturewait.h"
#include "app/frmcrop.h"

namespace trimlet {

class frmCropTestPeer {
public:
    explicit frmCropTestPeer(frmCrop& window) : w_(window) {}

    Selection& selection() const { return w_.sel_; }
    ViewModel& view() const { return w_.view_; }
    SelectionEditor& editor() const { return w_.editor_; }
    const WindowPlacement& placement() const { return w_.placement_; }
    const WindowSession& session() const { return w_.windowSession_.session(); }
    int captureWait() const { return w_.captureWait_; }
    bool startupLoadPending() const { return w_.windowSession_.session().startupLoadPending(); }

    ImageBox* picCrop() const { return control<ImageBox>("picCrop"); }
    QScrollBar* HS() const { return control<QScrollBar>("HS"); }
    QScrollBar* VS() const { return control<QScrollBar>("VS"); }
    QComboBox* cbJpg() const { return control<QComboBox>("cbJpg"); }
    QPushButton* cmdSave(int index) const {
        return control<QPushButton>("cmdSave" + std::to_string(index));
    }
    QPushButton* cmdCap() const { return control<QPushButton>("cmdCap"); }
    QPushButton* cmdCBChk() const { return control<QPushButton>("cmdCBChk"); }
    // The wait menu's item at a menu position.
    QAction* mnWait(int index) const {
        const int ms = kCaptureWaitItems.at(static_cast<std::size_t>(index)).milliseconds;
        return control<QAction>("mnWait" + std::to_string(ms));
    }
    QAction* mnCopy() const { return control<QAction>("mnCopy"); }
    QAction* mnTrim() const { return control<QAction>("mnTrim"); }
    QAction* mnRect() const { return control<QAction>("mnRect"); }
    QAction* mnLast() const { return control<QAction>("mnLast"); }
    QAction* mnLoupe() const { return control<QAction>("mnLoupe"); }
    QAction* mnHelp() const { return control<QAction>("mnHelp"); }
    QAction* mnVersion() const { return control<QAction>("mnVersion"); }
    QAction* mnQuit() const { return control<QAction>("mnQuit"); }

private:
    // A control that is missing stops the test program with its name.
    template <typename Control>
    Control* control(const std::string& name) const {
        auto* found = w_.findChild<Control*>(QString::fromStdString(name));
        if (!found) qFatal("the main window has no %s", name.c_str());
        return found;
    }

    frmCrop& w_;
};

inline frmCropTestPeer Peer(frmCrop& window) { return frmCropTestPeer(window); }
inline frmCropTestPeer Peer(const std::unique_ptr<frmCrop>& window) {
    return frmCropTestPeer(*window);
}

}  // namespace trimlet
