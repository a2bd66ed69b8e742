#pragma once

#include <QMainWindow>
#include <array>
#include <functional>

#include "app/imagebox.h"
#include "app/placementwindow_qt.h"
#include "app/sizebound.h"
#include "common/viewmodel.h"
#include "export/savesequence.h"
#include "selection/selection.h"
#include "selection/selectioneditor.h"

class QAction;
class QComboBox;
class QLabel;
class QMimeData;
class QPushButton;
class QScrollBar;

namespace trimlet {

class Clipboard;
class SaveFileDialog;
class ScreenGrabber;
class ScrollBarMirror;
class SoundPlayer;
class UrlOpener;

// What the main window reaches of the system. Tests hand in fakes.
struct CropServices {
    Clipboard* clipboard = nullptr;
    ScreenGrabber* grabber = nullptr;
    SoundPlayer* sound = nullptr;
    SaveFileDialog* saveDialog = nullptr;
    UrlOpener* urlOpener = nullptr;
    // Blocks for the capture wait; the real one sleeps.
    std::function<void(int milliseconds)> sleep;
    // Lets pending window events run; the real one processes the event queue.
    std::function<void()> processEvents;
    // The settings file's path, asked anew at each use; without it (or when it gives the
    // empty text) the defaults apply and nothing is stored.
    std::function<QString()> settingsFile;
    // The window system hands over the clipboard only to a window with the keyboard focus
    // (Wayland): start-up reads it once the shown window has the focus, or after
    // focusWaitMs at the latest.
    bool clipboardNeedsFocus = false;
    int focusWaitMs = 2000;
};

// The main window: the button strip, the grey view with the picture and its two scroll
// bars, and the menu. It turns Qt events into calls on the selection editor and the
// view model, and paints what they hold.
class frmCrop final : public QMainWindow, private ImageBoxListener {
    Q_OBJECT
public:
    explicit frmCrop(CropServices services, QWidget* parent = nullptr);
    ~frmCrop() override;

    // The start-up sequence, run once before the window is first shown. commandLine is
    // the argument text (empty when none was given).
    void Form_Load(const QString& commandLine);
    // The shutdown sequence; runs once, whatever closes the window.
    void Form_Unload();
    // Start-up's clipboard steps where they have to wait for the focus
    // (clipboardNeedsFocus): the command-line file and the read run once, as soon as the
    // shown window is active and has been handed the clipboard, or when the wait is over.
    void LoadStartupClipboard();
    bool startupLoadPending() const { return startupLoadPending_; }

    // Filling the view.
    void LoadFromClipboard();
    void cmdCBChk_Click();
    void cmdCap_Click();
    // Puts a file's picture on the clipboard; false (clipboard untouched) when the file
    // cannot be loaded as a picture.
    bool PutFileOnClipboard(const QString& path);
    // A drop on the viewport or the picture.
    void picCrop_OLEDragDrop(const QMimeData* data);

    // The capture wait menu.
    void mnWait500_Click() { SetCaptureWait(500); }
    void mnWait1000_Click() { SetCaptureWait(1000); }
    void mnWait2000_Click() { SetCaptureWait(2000); }
    void mnWait3000_Click() { SetCaptureWait(3000); }
    int captureWait() const { return captureWait_; }

    // Selection display.
    void ShowSelection();
    void SelectWholePicture() { editor_.selectWholePicture(); }

    // Saving.
    void cmdSave_Click(int index);
    // Runs when the focus leaves the quality box; true when the focus must stay.
    bool cbJpg_Validate();

    // Menu.
    // Ctrl+C: the cut-out a save would write goes to the clipboard.
    void mnCopy_Click();
    void mnHelp_Click();
    void mnVersion_Click();
    void mnQuit_Click() { close(); }

    // View layout and scrolling.
    void LayoutView();
    void Form_Resize();
    // Keeps the normal-state rectangle for the settings; the last step of Form_Resize.
    // Some window managers give a window its maximised size before they tell it that it
    // is maximised; a window as wide or as tall as the work area is remembered only
    // if it is still normal a moment later.
    void RememberNormalPlacement();
    // The settings file's path as of now (empty: no settings file).
    QString SettingsPath() const {
        return services_.settingsFile ? services_.settingsFile() : QString();
    }
    void HS_Change();
    void VS_Change();

    // For tests and the benchmark: the models and the controls.
    const Selection& selection() const { return sel_; }
    Selection& selection() { return sel_; }
    ViewModel& view() { return view_; }
    SelectionEditor& editor() { return editor_; }
    // The viewport; it carries the image box (the picture, at view().imageLeft(),
    // view().imageTop() in device pixels) and takes its pointer events and keys.
    ImageBox* picCrop() const { return picCrop_; }
    QScrollBar* HS() const { return hs_; }
    QScrollBar* VS() const { return vs_; }
    QComboBox* cbJpg() const { return cbJpg_; }
    QPushButton* cmdSave(int index) const { return cmdSave_[static_cast<std::size_t>(index)]; }
    QPushButton* cmdCap() const { return cmdCap_; }
    QPushButton* cmdCBChk() const { return cmdCBChk_; }
    QAction* mnWait(int index) const { return mnWait_[static_cast<std::size_t>(index)]; }
    QAction* mnCopy() const { return mnCopy_; }
    QAction* mnHelp() const { return mnHelp_; }
    QAction* mnVersion() const { return mnVersion_; }
    QAction* mnQuit() const { return mnQuit_; }
    const CropServices& services() const { return services_; }
    const WindowPlacement& placement() const { return placement_; }
    const SizeBound& sizeBound() const { return sizeBound_; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildControls();
    void BuildMenu();
    void InstallQualityCheck();  // cbJpg_Validate when the focus leaves cbJpg
    void SetCaptureWait(int milliseconds);
    // False when no picture of the screen reached the clipboard.
    bool SendPrintScreenNow();
    // After hide(): returns once the window system has taken the window off the screen.
    void WaitUntilHidden();

    // ImageBoxListener
    void picCropImg_MouseDown(int button, int shift, float x, float y) override;
    void picCropImg_MouseMove(int buttons, int shift, float x, float y) override;
    void picCropImg_MouseUp(int button, int shift, float x, float y) override;
    void picCropImg_DblClick() override { SelectWholePicture(); }
    void picCropImg_KeyDown(int keyCode, int shift) override;

    CropServices services_;
    Selection sel_;
    ViewModel view_;
    SelectionEditor editor_;
    int captureWait_ = 1000;
    SaveFolder saveFolder_;  // where the next save dialog opens
    bool unloaded_ = false;
    bool startupLoadPending_ = false;
    bool clipboardHandedOver_ = false;
    QString startupCommandLine_;
    void TryStartupLoad();
    // The start-up read's Print Screen is taken with the window off the screen, as it is
    // before the window is first shown.
    bool hideForPrintScreen_ = false;
    bool rememberPending_ = false;
    // Placement in the settings file and the bound on the window's size.
    QtPlacementWindow placementWindow_{this};
    WindowPlacement placement_;
    SizeBound sizeBound_;

    QWidget* client_ = nullptr;
    QPushButton* cmdCBChk_ = nullptr;
    QPushButton* cmdCap_ = nullptr;
    QComboBox* cbJpg_ = nullptr;
    std::array<QPushButton*, 4> cmdSave_{};
    QLabel* lblPercent_ = nullptr;
    ImageBox* picCrop_ = nullptr;
    QScrollBar* vs_ = nullptr;
    QScrollBar* hs_ = nullptr;
    ScrollBarMirror* hsMirror_ = nullptr;
    ScrollBarMirror* vsMirror_ = nullptr;
    QAction* mnCopy_ = nullptr;
    std::array<QAction*, 4> mnWait_{};
    QAction* mnHelp_ = nullptr;
    QAction* mnVersion_ = nullptr;
    QAction* mnQuit_ = nullptr;
};

}  // namespace trimlet
