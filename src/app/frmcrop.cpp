#include "app/frmcrop.h"

#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTimer>
#include <QWindow>
#include <algorithm>

#include "app/layoutview.h"
#include "app/scrollbarmirror.h"
#include "export/quality.h"
#include "platform/busypointer.h"
#include "platform/clipboard.h"
#include "platform/savedialog.h"
#include "settings/windowplacement.h"
#include "windows/frmhelp.h"
#include "windows/frmversion.h"
#include "windows/qualitybox.h"
#include "windows/windowframe.h"

namespace trimlet {
namespace {

// The client area the window is designed for.
constexpr int kDesignClientWidth = 417;
constexpr int kDesignClientHeight = 330;

// Where the window opens without stored settings: the screen's top-left corner, 6375 x
// 5460 twips outside (425 x 364 pixels at 96 dots per inch).
constexpr std::int32_t kDefaultLeft = 0;
constexpr std::int32_t kDefaultTop = 0;
constexpr std::int32_t kDefaultWidth = 6375;
constexpr std::int32_t kDefaultHeight = 5460;

// Runs the quality box's check when the focus leaves the box for another control of
// the window (not when another window, the menu bar or the box's own list takes it),
// and puts the focus back when the check asks to keep it.
class QualityBoxGuard final : public QObject {
public:
    QualityBoxGuard(frmCrop* window, QComboBox* box) : QObject(box), window_(window), box_(box) {}

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == box_ && event->type() == QEvent::FocusOut) {
            const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
            const bool toAnotherControl = reason != Qt::ActiveWindowFocusReason &&
                                          reason != Qt::PopupFocusReason &&
                                          reason != Qt::MenuBarFocusReason;
            if (toAnotherControl && window_->cbJpg_Validate()) {
                // Not inside the focus change itself: once it is done.
                QTimer::singleShot(0, box_, [box = box_] { box->setFocus(Qt::OtherFocusReason); });
            }
        }
        return false;
    }

private:
    frmCrop* window_;
    QComboBox* box_;
};

// The save dialog as the save sequence sees it: once a name is given, the rest of the
// save shows the busy pointer when it runs long (never the dialog itself).
class BusyAfterDialog final : public SaveFileDialog {
public:
    BusyAfterDialog(SaveFileDialog& dialog, BusyPointer* busy) : dialog_(dialog), busy_(busy) {}
    ~BusyAfterDialog() override {
        if (begun_) busy_->end();
    }
    std::optional<QString> askFileName(const QString& filter, const QString& initialName,
                                       const QString& folder) override {
        std::optional<QString> name = dialog_.askFileName(filter, initialName, folder);
        if (name && busy_ && !begun_) {
            busy_->begin();
            begun_ = true;
        }
        return name;
    }

private:
    SaveFileDialog& dialog_;
    BusyPointer* busy_;
    bool begun_ = false;
};

QPushButton* MakeButton(QWidget* parent, const char* name, const QString& text,
                        const QRect& geometry) {
    auto* b = new QPushButton(text, parent);
    b->setObjectName(QLatin1String(name));
    b->setGeometry(geometry);
    b->setAutoDefault(false);
    return b;
}

}  // namespace

frmCrop::frmCrop(CropServices services, QWidget* parent)
    : QMainWindow(parent),
      services_(WithStandIns(std::move(services))),
      acquirer_(*this, {*services_.clipboard, *services_.grabber, services_.sleep,
                        services_.processEvents, services_.busy}),
      editor_(sel_, view_, [this] { ShowSelection(); }) {
    setWindowTitle(QStringLiteral("トリムレット"));
    BuildControls();
    BuildMenu();
    // The editable box keeps the focus itself (its line edit is only its proxy).
    cbJpg_->installEventFilter(new QualityBoxGuard(this, cbJpg_));
    view_.hs.setChangeHandler([this] { HS_Change(); });
    view_.vs.setChangeHandler([this] { VS_Change(); });
    resize(kDesignClientWidth, kDesignClientHeight + menuBar()->sizeHint().height());
}

frmCrop::~frmCrop() = default;

void frmCrop::BuildControls() {
    client_ = new QWidget(this);
    setCentralWidget(client_);
    client_->installEventFilter(this);

    // Created in the designed order; the tab order below follows the design's numbers.
    cmdCBChk_ = MakeButton(client_, "cmdCBChk", QStringLiteral("再読込"), QRect(272, 4, 73, 25));
    cmdCap_ = MakeButton(client_, "cmdCap", QStringLiteral("画面ｷｬﾌﾟﾁｬ"), QRect(200, 4, 73, 25));
    cbJpg_ = MakeQualityBox(client_);
    cbJpg_->setObjectName(QStringLiteral("cbJpg"));
    cbJpg_->setGeometry(130, 8, 45, 20);
    cmdSave_[2] = MakeButton(client_, "cmdSave2", QStringLiteral("JPG"), QRect(80, 4, 41, 25));
    cmdSave_[1] = MakeButton(client_, "cmdSave1", QStringLiteral("GIF"), QRect(40, 4, 41, 25));
    cmdSave_[0] = MakeButton(client_, "cmdSave0", QStringLiteral("BMP"), QRect(0, 4, 41, 25));
    // The lossless save, right of "再読込".
    cmdSave_[3] = MakeButton(client_, "cmdSave3", QStringLiteral("PNG"), QRect(350, 4, 41, 25));

    // The grey viewport paints the image box (the picture) itself, in device pixels;
    // the picture starts at its top-left corner until scrolled.
    picCrop_ = new ImageBox(client_);
    picCrop_->setObjectName(QStringLiteral("picCrop"));
    picCrop_->setGeometry(0, 32, 401, 281);
    picCrop_->setListener(this);
    picCrop_->setAcceptDrops(true);
    picCrop_->installEventFilter(this);

    cbJpg_->installEventFilter(this);

    vs_ = new QScrollBar(Qt::Vertical, client_);
    vs_->setObjectName(QStringLiteral("VS"));
    vs_->setGeometry(400, 32, 17, 281);
    hs_ = new QScrollBar(Qt::Horizontal, client_);
    hs_->setObjectName(QStringLiteral("HS"));
    hs_->setGeometry(0, 312, 401, 17);
    hsMirror_ = std::make_unique<ScrollBarMirror>(view_.hs, *hs_);
    vsMirror_ = std::make_unique<ScrollBarMirror>(view_.vs, *vs_);

    lblPercent_ = new QLabel(QStringLiteral("%"), client_);
    lblPercent_->setObjectName(QStringLiteral("lblPercent"));
    lblPercent_->setGeometry(178, 11, 12, 17);

    // Tab order: the viewport's picture first, then the bars, the save buttons, the
    // quality box and the two acquisition buttons.
    QWidget::setTabOrder(picCrop_, hs_);
    QWidget::setTabOrder(hs_, vs_);
    QWidget::setTabOrder(vs_, cmdSave_[1]);
    QWidget::setTabOrder(cmdSave_[1], cmdSave_[2]);
    QWidget::setTabOrder(cmdSave_[2], cmdSave_[0]);
    QWidget::setTabOrder(cmdSave_[0], cmdSave_[3]);
    QWidget::setTabOrder(cmdSave_[3], cbJpg_);
    QWidget::setTabOrder(cbJpg_, cmdCap_);
    QWidget::setTabOrder(cmdCap_, cmdCBChk_);

    connect(cmdCBChk_, &QPushButton::clicked, this, &frmCrop::cmdCBChk_Click);
    connect(cmdCap_, &QPushButton::clicked, this, &frmCrop::cmdCap_Click);
    for (int i = 0; i < static_cast<int>(cmdSave_.size()); ++i)
        connect(cmdSave_[static_cast<std::size_t>(i)], &QPushButton::clicked, this,
                [this, i] { cmdSave_Click(i); });
}

void frmCrop::BuildMenu() {
    QMenu* mnMenu = menuBar()->addMenu(QStringLiteral("メニュー"));
    // Ctrl+C anywhere in the window, the quality box included (see eventFilter).
    mnCopy_ = mnMenu->addAction(QStringLiteral("選択範囲をコピー"));
    mnCopy_->setObjectName(QStringLiteral("mnCopy"));
    mnCopy_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_C));
    mnCopy_->setShortcutContext(Qt::WindowShortcut);
    connect(mnCopy_, &QAction::triggered, this, &frmCrop::mnCopy_Click);
    mnMenu->addSeparator();
    QMenu* mnWait = mnMenu->addMenu(QStringLiteral("キャプチャ時のウェイト"));
    for (std::size_t i = 0; i < kCaptureWaitItems.size(); ++i) {
        const CaptureWaitItem& item = kCaptureWaitItems[i];
        mnWait_[i] = mnWait->addAction(
            QString::fromUtf8(item.caption.data(), static_cast<qsizetype>(item.caption.size())));
        mnWait_[i]->setObjectName(QStringLiteral("mnWait%1").arg(item.milliseconds));
        mnWait_[i]->setCheckable(true);
        mnWait_[i]->setChecked(i == kDefaultCaptureWaitItem);
        connect(mnWait_[i], &QAction::triggered, this,
                [this, i] { mnWait_Click(static_cast<int>(i)); });
    }
    mnMenu->addSeparator();
    mnHelp_ = mnMenu->addAction(QStringLiteral("つかいかた"));
    mnHelp_->setObjectName(QStringLiteral("mnHelp"));
    mnHelp_->setShortcut(QKeySequence(Qt::Key_F1));
    mnHelp_->setShortcutContext(Qt::ApplicationShortcut);
    connect(mnHelp_, &QAction::triggered, this, &frmCrop::mnHelp_Click);
    mnVersion_ = mnMenu->addAction(QStringLiteral("バージョン"));
    mnVersion_->setObjectName(QStringLiteral("mnVersion"));
    connect(mnVersion_, &QAction::triggered, this, &frmCrop::mnVersion_Click);
    mnMenu->addSeparator();
    mnQuit_ = mnMenu->addAction(QStringLiteral("終了"));
    mnQuit_->setObjectName(QStringLiteral("mnQuit"));
    connect(mnQuit_, &QAction::triggered, this, &frmCrop::mnQuit_Click);
}

void frmCrop::mnWait_Click(int index) {
    for (std::size_t i = 0; i < mnWait_.size(); ++i)
        mnWait_[i]->setChecked(static_cast<int>(i) == index);
    captureWait_ = kCaptureWaitItems.at(static_cast<std::size_t>(index)).milliseconds;
}

// --- filling the view ---------------------------------------------------------------

// After hide() the window system still has to unmap the window and let the windows
// below it repaint; the grab must not catch even a fading frame of ours.
void frmCrop::hideFromScreen() {
    hide();
    QCoreApplication::processEvents();
    QWindow* handle = windowHandle();
    QElapsedTimer waited;
    waited.start();
    while (handle && handle->isExposed() && waited.elapsed() < 2000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

void frmCrop::showPicture(const QImage& picture) {
    // The image box takes exactly the picture's pixel size, in device pixels.
    picCrop_->setPicture(picture);
    view_.imageWidth = picture.width();
    view_.imageHeight = picture.height();
    editor_.pictureLoaded();
    ShowSelection();
    // Lay the view out now, so a larger picture can be scrolled and a smaller one is
    // not left at a stale scroll position.
    LayoutView();
}

// --- selection display --------------------------------------------------------------

void frmCrop::ShowSelection() {
    picCrop_->setHighlight(sel_.highlight());
    setWindowTitle(QString::fromStdString(sel_.caption()));
}

void frmCrop::picCropImg_MouseDown(int button, int shift, float x, float y) {
    editor_.mouseDown(button, shift, x, y);
}

void frmCrop::picCropImg_MouseMove(int buttons, int shift, float x, float y) {
    editor_.mouseMove(buttons, shift, x, y);
}

void frmCrop::picCropImg_MouseUp(int button, int shift, float x, float y) {
    editor_.mouseUp(button, shift, x, y);
}

void frmCrop::picCropImg_KeyDown(int keyCode, int shift) { editor_.keyDown(keyCode, shift); }

// --- layout and scrolling -----------------------------------------------------------

void frmCrop::LayoutView() {
    const QPoint clientAt = client_->mapTo(this, QPoint(0, 0));
    const DeviceMapping device{devicePixelRatioF(), clientAt.x(), clientAt.y()};
    const std::optional<ViewLayout> l =
        trimlet::LayoutView(client_->width(), client_->height(), view_.imageWidth,
                            view_.imageHeight, isMinimized(), device);
    if (!l) return;
    const auto apply = [](QWidget* w, const ControlRect& r) {
        w->setGeometry(r.left, r.top, r.width, r.height);
    };
    apply(hs_, l->hs);
    apply(vs_, l->vs);
    apply(picCrop_, l->viewport);
    view_.viewportWidth = l->viewportDeviceWidth;
    view_.viewportHeight = l->viewportDeviceHeight;
    const auto setRange = [](ScrollBarModel& m, const ScrollRange& r) {
        m.setMax(r.max);  // may pull Value back into the range and move the picture
        m.setLargeChange(r.largeChange);
    };
    setRange(view_.hs, l->hsRange);
    setRange(view_.vs, l->vsRange);
}

void frmCrop::Form_Resize() {
    LayoutView();
    editor_.viewResized();
    RememberNormalPlacement();
}

void frmCrop::RememberNormalPlacement() {
    const QScreen* s = ScreenOf(this);
    const QRect frame = frameGeometry();
    // Either way: some maximise one direction after the other. With some slack: a
    // window manager may leave its border out of the frame it reports (fluxbox).
    constexpr int kSlack = 8;
    const bool maybeMaximising = isVisible() && s &&
                                 (frame.width() >= s->availableGeometry().width() - kSlack ||
                                  frame.height() >= s->availableGeometry().height() - kSlack);
    if (!maybeMaximising) {
        placement_.RememberNormalPlacement(placementWindow_);
        return;
    }
    // As wide or as tall as the work area: a window manager may be maximising the window
    // and say so only a moment later. Decide then; a maximised window is not remembered.
    if (rememberPending_) return;
    rememberPending_ = true;
    QTimer::singleShot(kWindowManagerSettleMs, this, [this] {
        rememberPending_ = false;
        placement_.RememberNormalPlacement(placementWindow_);
    });
}

void frmCrop::HS_Change() {
    picCrop_->setImagePos(QPoint(view_.imageLeft(), picCrop_->imagePos().y()));
    picCrop_->setFocus();
}

void frmCrop::VS_Change() {
    picCrop_->setImagePos(QPoint(picCrop_->imagePos().x(), view_.imageTop()));
    picCrop_->setFocus();
}

// --- start-up and shutdown -----------------------------------------------------------

void frmCrop::Form_Load(const QString& commandLine) {
    startupClock_.start();
    sizeBound_.InstallSizeHook(this);
    placement_.LoadWindowPlacement(placementWindow_, SettingsPath(), kDefaultLeft, kDefaultTop,
                                   kDefaultWidth, kDefaultHeight);
    // The stored wait checks its menu item; any other value, or a number beyond 32 bits,
    // checks the default.
    mnWait_Click(WaitMenuIndex(WaitForStoredValue(LoadCaptureWait(SettingsPath()))));
    sizeBound_.setMinTrackSize(kMinTrackWidth, kMinTrackHeight);

    editor_.resetLastMove();
    if (services_.clipboardNeedsFocus) {
        // Only a focused window may read or write the clipboard: the command-line file and
        // the read wait until the shown window is active and has been handed the
        // clipboard, for focusWaitMs at most.
        startupLoadPending_ = true;
        startupCommandLine_ = commandLine;
        services_.clipboard->watchChanges([this] {
            clipboardHandedOver_ = true;
            TryStartupLoad();
        });
        QTimer::singleShot(std::max(0, services_.focusWaitMs), this,
                           &frmCrop::LoadStartupClipboard);
        return;
    }
    // A Print Screen is taken with the window off the screen, should a long read have
    // shown it already.
    startingUp_ = true;
    acquirer_.startUp(commandLine, true);
    startingUp_ = false;
}

void frmCrop::WhileWaiting() {
    if (startingUp_ && !unloaded_ && !isVisible() &&
        startupClock_.elapsed() >= kStartupShowAfterMs) {
        show();
        // The busy pointer of the load takes in the window.
        const BusyScope busy(services_.busy);
    }
}

void frmCrop::TryStartupLoad() {
    if (startupLoadPending_ && clipboardHandedOver_ && isActiveWindow())
        QMetaObject::invokeMethod(this, &frmCrop::LoadStartupClipboard, Qt::QueuedConnection);
}

void frmCrop::LoadStartupClipboard() {
    if (!startupLoadPending_ || unloaded_) return;
    startupLoadPending_ = false;
    services_.clipboard->watchChanges({});
    // The window is shown by now; a Print Screen is taken with it off the screen, as it is
    // before the window is first shown.
    acquirer_.startUp(startupCommandLine_, true);
}

void frmCrop::Form_Unload() {
    if (unloaded_) return;
    unloaded_ = true;
    sizeBound_.RemoveSizeHook(this);
    // A failed write is not reported (the program has no messages, and the close is never
    // cancelled); the previous settings file stays intact in that case.
    (void)placement_.SaveWindowPlacement(placementWindow_, SettingsPath());
    (void)SaveCaptureWait(captureWait_, SettingsPath());
}

// --- saving and the menu --------------------------------------------------------------

void frmCrop::cmdSave_Click(int index) {
    BusyAfterDialog dialog(*services_.saveDialog, services_.busy);
    const SaveReport report = SaveSelection(index, sel_.highlight(), picCrop_->picture(),
                                            cbJpg_->currentText().toStdString(), dialog,
                                            *services_.sound, saveFolder_.folder());
    saveFolder_.remember(report);
    if (report.outcome == SaveOutcome::Failed)
        qWarning("trimlet: the picture was not saved: %s", report.error.c_str());
}

void frmCrop::mnCopy_Click() {
    const BusyScope busy(services_.busy);
    // The sound tells whether it worked.
    (void)CopySelection(sel_.highlight(), picCrop_->picture(), *services_.clipboard,
                        *services_.sound);
}

bool frmCrop::cbJpg_Validate() {
    const QualityCheck check = ValidateQualityText(cbJpg_->currentText().toStdString());
    if (check.newText) cbJpg_->setEditText(QString::fromStdString(*check.newText));
    return check.keepFocus;
}

// Both windows are built afresh at each opening and block the main window until closed.
void frmCrop::mnHelp_Click() {
    frmHelp help(this);
    help.exec();
}

void frmCrop::mnVersion_Click() {
    frmVersion version(services_.urlOpener, this);
    version.exec();
}

// --- window events ------------------------------------------------------------------

void frmCrop::closeEvent(QCloseEvent* event) {
    Form_Unload();
    event->accept();
}

void frmCrop::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    // Minimising and restoring count as resizes: the view is laid out again (not while
    // minimised) and the next pointer event on the picture is dropped.
    if (event->type() == QEvent::WindowStateChange) Form_Resize();
    // The clipboard is ours to read from the moment the window has the focus; read it once
    // this event is done.
    if (event->type() == QEvent::ActivationChange) TryStartupLoad();
}

bool frmCrop::eventFilter(QObject* watched, QEvent* event) {
    if (watched == client_) {
        if (event->type() == QEvent::Resize)
            Form_Resize();
        else if (event->type() == QEvent::Show) {
            // On another screen the device pixel ratio may differ: the view's numbers
            // change although the logical sizes may not.
            if (windowHandle())
                connect(windowHandle(), &QWindow::screenChanged, this, &frmCrop::LayoutView,
                        Qt::UniqueConnection);
            LayoutView();
        }
    } else if (watched == cbJpg_ && event->type() == QEvent::ShortcutOverride) {
        // The box's line edit would take Ctrl+C for its text; in this window it copies
        // the cut-out, so the key is left to the shortcut.
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->keyCombination() == QKeyCombination(Qt::ControlModifier, Qt::Key_C)) {
            event->ignore();
            return true;
        }
    } else if (watched == picCrop_) {
        if (event->type() == QEvent::DragEnter) {
            static_cast<QDragEnterEvent*>(event)->acceptProposedAction();
            return true;
        }
        if (event->type() == QEvent::Drop) {
            auto* drop = static_cast<QDropEvent*>(event);
            drop->acceptProposedAction();
            picCrop_OLEDragDrop(drop->mimeData());
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

}  // namespace trimlet
