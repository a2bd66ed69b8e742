#include "app/frmcrop.h"

#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTimer>
#include <QWindow>

#include "acquisition/capturewait.h"
#include "acquisition/clipboardload.h"
#include "app/layoutview.h"
#include "app/scrollbarmirror.h"
#include "platform/clipboard.h"
#include "platform/screengrab.h"
#include "windows/qualitybox.h"

namespace trimlet {
namespace {

// How long a window manager may take to say that a size it gave is a maximised one.
constexpr int kMaximiseSettleMs = 150;

// The client area the window is designed for.
constexpr int kDesignClientWidth = 417;
constexpr int kDesignClientHeight = 330;

QPushButton* MakeButton(QWidget* parent, const QString& text, const QRect& geometry) {
    auto* b = new QPushButton(text, parent);
    b->setGeometry(geometry);
    b->setAutoDefault(false);
    return b;
}

}  // namespace

frmCrop::frmCrop(CropServices services, QWidget* parent)
    : QMainWindow(parent),
      services_(std::move(services)),
      editor_(sel_, view_, [this] { ShowSelection(); }) {
    setWindowTitle(QStringLiteral("トリムレット"));
    BuildControls();
    BuildMenu();
    InstallQualityCheck();
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
    cmdCBChk_ = MakeButton(client_, QStringLiteral("再読込"), QRect(272, 4, 73, 25));
    cmdCap_ = MakeButton(client_, QStringLiteral("画面ｷｬﾌﾟﾁｬ"), QRect(200, 4, 73, 25));
    cbJpg_ = MakeQualityBox(client_);
    cbJpg_->setGeometry(130, 8, 45, 20);
    cmdSave_[2] = MakeButton(client_, QStringLiteral("JPG"), QRect(80, 4, 41, 25));
    cmdSave_[1] = MakeButton(client_, QStringLiteral("GIF"), QRect(40, 4, 41, 25));
    cmdSave_[0] = MakeButton(client_, QStringLiteral("BMP"), QRect(0, 4, 41, 25));
    // The lossless save, right of "再読込".
    cmdSave_[3] = MakeButton(client_, QStringLiteral("PNG"), QRect(350, 4, 41, 25));

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
    vs_->setGeometry(400, 32, 17, 281);
    hs_ = new QScrollBar(Qt::Horizontal, client_);
    hs_->setGeometry(0, 312, 401, 17);
    hsMirror_ = new ScrollBarMirror(view_.hs, *hs_, this);
    vsMirror_ = new ScrollBarMirror(view_.vs, *vs_, this);

    lblPercent_ = new QLabel(QStringLiteral("%"), client_);
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
    mnCopy_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_C));
    mnCopy_->setShortcutContext(Qt::WindowShortcut);
    connect(mnCopy_, &QAction::triggered, this, &frmCrop::mnCopy_Click);
    mnMenu->addSeparator();
    QMenu* mnWait = mnMenu->addMenu(QStringLiteral("キャプチャ時のウェイト"));
    const std::array<QString, 4> captions = {QStringLiteral("0.5秒"),
                                             QStringLiteral("1.0秒(デフォルト)"),
                                             QStringLiteral("2.0秒"), QStringLiteral("3.0秒")};
    const std::array<void (frmCrop::*)(), 4> handlers = {
        &frmCrop::mnWait500_Click, &frmCrop::mnWait1000_Click, &frmCrop::mnWait2000_Click,
        &frmCrop::mnWait3000_Click};
    for (std::size_t i = 0; i < 4; ++i) {
        mnWait_[i] = mnWait->addAction(captions[i]);
        mnWait_[i]->setCheckable(true);
        mnWait_[i]->setChecked(i == 1);
        connect(mnWait_[i], &QAction::triggered, this, handlers[i]);
    }
    mnMenu->addSeparator();
    mnHelp_ = mnMenu->addAction(QStringLiteral("つかいかた"));
    mnHelp_->setShortcut(QKeySequence(Qt::Key_F1));
    mnHelp_->setShortcutContext(Qt::ApplicationShortcut);
    connect(mnHelp_, &QAction::triggered, this, &frmCrop::mnHelp_Click);
    mnVersion_ = mnMenu->addAction(QStringLiteral("バージョン"));
    connect(mnVersion_, &QAction::triggered, this, &frmCrop::mnVersion_Click);
    mnMenu->addSeparator();
    mnQuit_ = mnMenu->addAction(QStringLiteral("終了"));
    connect(mnQuit_, &QAction::triggered, this, &frmCrop::mnQuit_Click);
}

void frmCrop::SetCaptureWait(int milliseconds) {
    for (std::size_t i = 0; i < mnWait_.size(); ++i)
        mnWait_[i]->setChecked(kCaptureWaits[i] == milliseconds);
    captureWait_ = milliseconds;
}

// --- filling the view ---------------------------------------------------------------

bool frmCrop::SendPrintScreenNow() {
    if (!services_.grabber || !services_.clipboard) return false;
    const bool hideNow = hideForPrintScreen_ && isVisible();
    if (hideNow) {
        hide();
        WaitUntilHidden();
    }
    const bool written =
        SendPrintScreen(*services_.grabber, *services_.clipboard, services_.processEvents);
    if (hideNow) show();
    return written;
}

void frmCrop::LoadFromClipboard() {
    if (!services_.clipboard) return;
    const std::optional<QImage> picture =
        ReadClipboardPicture(*services_.clipboard, [this] { SendPrintScreenNow(); });
    if (!picture) return;  // an unreadable clipboard leaves the view as it was
    // The image box takes exactly the picture's pixel size, in device pixels.
    picCrop_->setPicture(*picture);
    view_.imageWidth = picture->width();
    view_.imageHeight = picture->height();
    editor_.pictureLoaded();
    ShowSelection();
    // Lay the view out now, so a larger picture can be scrolled and a smaller one is
    // not left at a stale scroll position.
    LayoutView();
}

void frmCrop::cmdCBChk_Click() {
    LoadFromClipboard();
    SelectWholePicture();
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
        m.setEnabled(r.enabled);
    };
    setRange(view_.hs, l->hsRange);
    setRange(view_.vs, l->vsRange);
    hsMirror_->sync();
    vsMirror_->sync();
}

void frmCrop::Form_Resize() {
    LayoutView();
    editor_.viewResized();
    RememberNormalPlacement();
}

void frmCrop::RememberNormalPlacement() {
    const QScreen* s = screen();
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
    QTimer::singleShot(kMaximiseSettleMs, this, [this] {
        rememberPending_ = false;
        placement_.RememberNormalPlacement(placementWindow_);
    });
}

void frmCrop::HS_Change() {
    picCrop_->setImagePos(QPoint(view_.imageLeft(), picCrop_->imagePos().y()));
    hsMirror_->sync();
    picCrop_->setFocus();
}

void frmCrop::VS_Change() {
    picCrop_->setImagePos(QPoint(picCrop_->imagePos().x(), view_.imageTop()));
    vsMirror_->sync();
    picCrop_->setFocus();
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
