#pragma once

#include <QElapsedTimer>
#include <QMainWindow>
#include <array>
#include <memory>
#include <optional>

#include "acquisition/acquirer.h"
#include "acquisition/capturewait.h"
#include "app/cropservices.h"
#include "app/imagebox.h"
#include "app/placementwindow_qt.h"
#include "app/windowsession_qt.h"
#include "common/viewmodel.h"
#include "export/savesequence.h"
#include "selection/loupe.h"
#include "selection/precision.h"
#include "selection/selection.h"
#include "selection/selectioneditor.h"

class QAction;
class QComboBox;
class QLabel;
class QMimeData;
class QPushButton;
class QScrollBar;
class QTemporaryDir;
class QTimer;

namespace trimlet {

class ScrollBarMirror;

// The main window: the button strip, the grey view with the picture and its two scroll
// bars, and the menu. It turns Qt events into calls on the selection editor and the
// view model, and paints what they hold.
class frmCrop final : public QMainWindow, private ImageBoxListener, private AcquisitionWindow {
    Q_OBJECT
public:
    explicit frmCrop(CropServices services, QWidget* parent = nullptr);
    ~frmCrop() override;

    // The start-up sequence, run once before the window is first shown. commandLine is
    // the argument text (empty when none was given).
    void Form_Load(const QString& commandLine);
    // The shutdown sequence; runs once, whatever closes the window.
    void Form_Unload();
    // What Form_Unload stores, as the window is now.
    [[nodiscard]] std::vector<IniEntry> SettingsToStore() const;
    // Start-up's clipboard steps where they have to wait for the focus
    // (clipboardNeedsFocus): the command-line file and the read run once, as soon as the
    // shown window is active and has been handed the clipboard, or when the wait is over.
    void LoadStartupClipboard();
    // Runs while a clipboard read waits for another program: a start-up that has waited
    // kStartupShowAfterMs shows the window meanwhile.
    void WhileWaiting();

    // Filling the view: the sequences live in the acquirer.
    void LoadFromClipboard() { acquirer_.loadFromClipboard(); }
    void cmdCBChk_Click() { acquirer_.reload(); }
    void cmdCap_Click() { acquirer_.capture(captureWait_); }
    // Puts a file's picture on the clipboard; false (clipboard untouched) when the file
    // cannot be loaded as a picture.
    [[nodiscard]] bool PutFileOnClipboard(const QString& path) {
        return acquirer_.putFileOnClipboard(path);
    }
    // A drop on the viewport or the picture.
    void picCrop_OLEDragDrop(const QMimeData* data) { acquirer_.drop(data); }

    // The capture wait menu, one handler for its items in menu order (see
    // kCaptureWaitItems): the item is checked, the others unchecked, and its wait is
    // the capture wait.
    void mnWait_Click(int index);

    // Selection display.
    void ShowSelection();
    void SelectWholePicture() { editor_.selectWholePicture(); }

    // Saving.
    void cmdSave_Click(int index);
    // Runs when the focus leaves the quality box; true when the focus must stay.
    [[nodiscard]] bool cbJpg_Validate();

    // Menu.
    // Ctrl+C: the cut-out a save would write goes to the clipboard.
    void mnCopy_Click();
    // Ctrl+T: each edge moves inward past the rows and columns of the margin colour.
    void mnTrim_Click();
    // Ctrl+R: the selection typed as four numbers.
    void mnRect_Click();
    // Ctrl+L: the block of the last save or copy selected again.
    void mnLast_Click();
    // Ctrl+M: the loupe on or off.
    void mnLoupe_Click(bool on);
    void mnHelp_Click();
    void mnVersion_Click();
    void mnQuit_Click() { close(); }

    // View layout and scrolling.
    void LayoutView();
    void Form_Resize();
    // The settings file's path as of now (empty: no settings file).
    QString SettingsPath() const { return services_.settingsFile(); }
    void HS_Change();
    void VS_Change();

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The tests' view of the models; they reach the controls by object name.
    friend class frmCropTestPeer;

    void BuildControls();
    void BuildMenu();
    // A whole new selection from the menu; the error sound when there is none.
    void SelectFromMenu(const std::optional<Selection>& selection);
    // Shows, moves or hides the loupe after an edit, a scroll or its time running out.
    void RefreshLoupe();
    // Hands the cut-out to a drag-and-drop: PNG data and a PNG file of our own.
    void StartDragOut();

    // AcquisitionWindow
    bool isShownOnScreen() const override { return isVisible(); }
    void hideFromScreen() override;
    void showOnScreen() override;
    void showPicture(const QImage& picture) override;
    void selectWholePicture() override { SelectWholePicture(); }

    // ImageBoxListener
    void picCropImg_MouseDown(int button, int shift, float x, float y) override;
    void picCropImg_MouseMove(int buttons, int shift, float x, float y) override;
    void picCropImg_MouseUp(int button, int shift, float x, float y) override;
    void picCropImg_DblClick() override { SelectWholePicture(); }
    void picCropImg_KeyDown(int keyCode, int shift) override;

    CropServices services_;
    Acquirer acquirer_;
    Selection sel_;
    ViewModel view_;
    SelectionEditor editor_;
    int captureWait_ = kDefaultCaptureWait;
    SaveFolder saveFolder_;  // where the next save dialog opens
    QString startupCommandLine_;
    void TryStartupLoad();
    // The window's place, size and start-up (the session), its placement as the settings
    // see it, and the placement in the settings file.
    QtWindowSession windowSession_{this};
    QtPlacementWindow placementWindow_{this, windowSession_.session()};
    WindowPlacement placement_;

    QWidget* client_ = nullptr;
    QPushButton* cmdCBChk_ = nullptr;
    QPushButton* cmdCap_ = nullptr;
    QComboBox* cbJpg_ = nullptr;
    std::array<QPushButton*, kSaveFormats.size()> cmdSave_{};
    QLabel* lblPercent_ = nullptr;
    ImageBox* picCrop_ = nullptr;
    QScrollBar* vs_ = nullptr;
    QScrollBar* hs_ = nullptr;
    // Declared after view_: they leave its bars before the bars' models go.
    std::unique_ptr<ScrollBarMirror> hsMirror_;
    std::unique_ptr<ScrollBarMirror> vsMirror_;
    QAction* mnCopy_ = nullptr;
    QAction* mnTrim_ = nullptr;
    QAction* mnRect_ = nullptr;
    QAction* mnLast_ = nullptr;
    QAction* mnLoupe_ = nullptr;
    // The loupe, its clock and the timer that ends a key edit's loupe.
    Loupe loupe_;
    QElapsedTimer loupeClock_;
    QTimer* loupeTimer_ = nullptr;
    LastRectangle lastRect_;
    // Where a middle press inside the selection was (image-box pixels): a drag from there
    // takes the cut-out out of the program.
    std::optional<QPointF> dragOutFrom_;
    // The folder of the dragged-out file, removed with the window.
    std::unique_ptr<QTemporaryDir> dragDir_;
    std::array<QAction*, kCaptureWaitItems.size()> mnWait_{};
    QAction* mnHelp_ = nullptr;
    QAction* mnVersion_ = nullptr;
    QAction* mnQuit_ = nullptr;
};

}  // namespace trimlet
