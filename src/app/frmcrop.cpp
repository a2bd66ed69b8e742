#include "app/frmcrop.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDrag>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QFile>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QMimeData>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>
#include <QWindow>
#include <algorithm>
#include <utility>

#include "app/layoutview.h"
#include "app/scrollbarmirror.h"
#include "common/numtext.h"
#include "export/quality.h"
#include "platform/busypointer.h"
#include "platform/clipboard.h"
#include "platform/savedialog.h"
#include "platform/sound.h"
#include "selection/inputcodes.h"
#include "settings/viewsettings.h"
#include "settings/windowplacement.h"
#include "windows/frmhelp.h"
#include "windows/frmrect.h"
#include "windows/frmversion.h"
#include "windows/qualitybox.h"

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

QPushButton* MakeButton(QWidget* parent, const QString& name, const QString& text,
                        const QRect& geometry) {
    auto* b = new QPushButton(text, parent);
    b->setObjectName(name);
    b->setGeometry(geometry);
    b->setAutoDefault(false);
    return b;
}

}  // namespace

frmCrop::frmCrop(CropServices services, QWidget* parent)
    : QMainWindow(parent),
      services_(WithStandIns(std::move(services))),
      acquirer_(*this, {*services_.clipboard, *services_.grabber, services_.sleep,
                        services_.processEvents, services_.busy, services_.sound}),
      editor_(sel_, view_, [this] { ShowSelection(); }) {
    setWindowTitle(QStringLiteral("トリムレット"));
    windowSession_.onRememberNormal(
        [this] { placement_.RememberNormalPlacement(placementWindow_); });
    loupeClock_.start();
    loupeTimer_ = new QTimer(this);
    loupeTimer_->setSingleShot(true);
    loupeTimer_->setTimerType(Qt::PreciseTimer);
    connect(loupeTimer_, &QTimer::timeout, this, &frmCrop::RefreshLoupe);
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
    cmdCBChk_ = MakeButton(client_, QStringLiteral("cmdCBChk"), QStringLiteral("再読込"),
                           QRect(272, 4, 73, 25));
    cmdCap_ = MakeButton(client_, QStringLiteral("cmdCap"), QStringLiteral("画面ｷｬﾌﾟﾁｬ"),
                         QRect(200, 4, 73, 25));
    cbJpg_ = MakeQualityBox(client_);
    cbJpg_->setObjectName(QStringLiteral("cbJpg"));
    cbJpg_->setGeometry(130, 8, 45, 20);
    for (std::size_t i = 0; i < kSaveFormats.size(); ++i) {
        const SaveFormat& f = kSaveFormats[i];
        cmdSave_[i] = MakeButton(
            client_, QStringLiteral("cmdSave%1").arg(i),
            QString::fromUtf8(f.caption.data(), static_cast<qsizetype>(f.caption.size())),
            QRect(f.button.left, f.button.top, f.button.width, f.button.height));
    }

    // The grey viewport paints the image box (the picture) itself, in device pixels;
    // the picture starts at its top-left corner until scrolled.
    picCrop_ = new ImageBox(client_);
    picCrop_->setObjectName(QStringLiteral("picCrop"));
    picCrop_->setGeometry(0, 32, 401, 281);
    picCrop_->setListener(this);
    picCrop_->setAcceptDrops(true);
    picCrop_->installEventFilter(this);

    cbJpg_->installEventFilter(this);

    vs_ = new ViewScrollBar(Qt::Vertical, client_);
    vs_->setObjectName(QStringLiteral("VS"));
    vs_->setGeometry(400, 32, 17, 281);
    hs_ = new ViewScrollBar(Qt::Horizontal, client_);
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
    QWidget* previous = vs_;
    for (const std::size_t i : SaveTabOrder(false)) {
        QWidget::setTabOrder(previous, cmdSave_[i]);
        previous = cmdSave_[i];
    }
    QWidget::setTabOrder(previous, cbJpg_);
    QWidget::setTabOrder(cbJpg_, cmdCap_);
    QWidget::setTabOrder(cmdCap_, cmdCBChk_);
    // The first in the tab order has the focus when the window first becomes active (the
    // focus chain itself begins elsewhere: keys would reach a save button first).
    picCrop_->setFocus();

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
    const auto item = [&](const char* name, const QString& caption, QKeyCombination key) {
        QAction* a = mnMenu->addAction(caption);
        a->setObjectName(QLatin1String(name));
        a->setShortcut(QKeySequence(key));
        a->setShortcutContext(Qt::WindowShortcut);
        return a;
    };
    mnTrim_ = item("mnTrim", QStringLiteral("余白を除く"), Qt::CTRL | Qt::Key_T);
    connect(mnTrim_, &QAction::triggered, this, &frmCrop::mnTrim_Click);
    mnRect_ = item("mnRect", QStringLiteral("範囲を指定..."), Qt::CTRL | Qt::Key_R);
    connect(mnRect_, &QAction::triggered, this, &frmCrop::mnRect_Click);
    mnLast_ = item("mnLast", QStringLiteral("前回の範囲"), Qt::CTRL | Qt::Key_L);
    connect(mnLast_, &QAction::triggered, this, &frmCrop::mnLast_Click);
    mnLoupe_ = item("mnLoupe", QStringLiteral("拡大鏡"), Qt::CTRL | Qt::Key_M);
    mnLoupe_->setCheckable(true);
    mnLoupe_->setChecked(true);
    connect(mnLoupe_, &QAction::triggered, this, &frmCrop::mnLoupe_Click);
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
    windowSession_.hideForCapture(placementWindow_.positionKnown());
    hide();
    QCoreApplication::processEvents();
    QWindow* handle = windowHandle();
    QElapsedTimer waited;
    waited.start();
    while (handle && handle->isExposed() && waited.elapsed() < 2000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

// The window comes back exactly where it left.
void frmCrop::showOnScreen() { windowSession_.showAfterCapture(); }

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

// The loupe follows the pointer while the left or right button is held; a middle press
// inside the selection may become a drag of the cut-out.
void frmCrop::picCropImg_MouseDown(int button, int shift, float x, float y) {
    const bool swallowed = editor_.skipMouseEvent();
    editor_.mouseDown(button, shift, x, y);
    if (swallowed) return;
    if (button == kLeftButton || button == kRightButton) {
        loupe_.pointerHeld(PointerPixel(x, y, picCrop_->picture().size()));
        RefreshLoupe();
    } else if (button == kMiddleButton && sel_.containsPointer(x, y)) {
        dragOutFrom_ = QPointF(x, y);
    }
}

void frmCrop::picCropImg_MouseMove(int buttons, int shift, float x, float y) {
    const bool swallowed = editor_.skipMouseEvent();
    editor_.mouseMove(buttons, shift, x, y);
    if (swallowed) return;
    if (buttons == kLeftButton || buttons == kRightButton) {
        loupe_.pointerHeld(PointerPixel(x, y, picCrop_->picture().size()));
        RefreshLoupe();
    } else if (buttons == kMiddleButton && dragOutFrom_) {
        // The platform's drag distance, in the device pixels the positions come in.
        const double distance = QApplication::startDragDistance() * devicePixelRatioF();
        if ((QPointF(x, y) - *dragOutFrom_).manhattanLength() >= distance) StartDragOut();
    }
}

void frmCrop::picCropImg_MouseUp(int button, int shift, float x, float y) {
    editor_.mouseUp(button, shift, x, y);
    if (button == kLeftButton || button == kRightButton) {
        loupe_.pointerReleased();
        RefreshLoupe();
    } else if (button == kMiddleButton) {
        dragOutFrom_.reset();
    }
}

void frmCrop::picCropImg_KeyDown(int keyCode, int shift) {
    editor_.keyDown(keyCode, shift);
    if (keyCode == 0) return;
    // The corner the key moved: the bottom-right one when Ctrl moves the right or bottom
    // edge, else the top-left one.
    const PixelRect b = sel_.highlight();
    const QPoint corner = (shift & kCtrlBit)
                              ? QPoint(ClampToInt32(std::int64_t{b.left} + b.width - 1),
                                       ClampToInt32(std::int64_t{b.top} + b.height - 1))
                              : QPoint(b.left, b.top);
    loupe_.keyEdited(corner, loupeClock_.elapsed());
    RefreshLoupe();
}

void frmCrop::RefreshLoupe() {
    const qint64 now = loupeClock_.elapsed();
    if (!loupe_.visible(now)) {
        loupeTimer_->stop();
        if (picCrop_->loupe()) picCrop_->setLoupe(std::nullopt);
        return;
    }
    const QPoint centre = loupe_.centre();
    picCrop_->setLoupe(ComposeLoupe(picCrop_->picture(), centre, sel_.highlight(),
                                    picCrop_->imagePos(),
                                    QSize(view_.viewportWidth, view_.viewportHeight),
                                    picCrop_->loupeTextSize(LoupeText(centre, 0)), kOutsideGrey));
    if (const std::optional<std::int64_t> hide = loupe_.hideTime())
        loupeTimer_->start(static_cast<int>(std::clamp<std::int64_t>(*hide - now, 1, kLoupeKeyMs)));
    else
        loupeTimer_->stop();
}

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
    RefreshLoupe();
}

void frmCrop::Form_Resize() {
    LayoutView();
    editor_.viewResized();
}

void frmCrop::HS_Change() {
    picCrop_->setImagePos(QPoint(view_.imageLeft(), picCrop_->imagePos().y()));
    picCrop_->setFocus();
    RefreshLoupe();
}

void frmCrop::VS_Change() {
    picCrop_->setImagePos(QPoint(picCrop_->imagePos().x(), view_.imageTop()));
    picCrop_->setFocus();
    RefreshLoupe();
}

// --- start-up and shutdown -----------------------------------------------------------

void frmCrop::Form_Load(const QString& commandLine) {
    WindowSession& session = windowSession_.session();
    session.startupBegan(windowSession_.now(), services_.clipboardNeedsFocus);
    placement_.LoadWindowPlacement(placementWindow_, SettingsPath(), kDefaultLeft, kDefaultTop,
                                   kDefaultWidth, kDefaultHeight);
    // The stored wait checks its menu item; any other value, or a number beyond 32 bits,
    // checks the default.
    mnWait_Click(WaitMenuIndex(WaitForStoredValue(LoadCaptureWait(SettingsPath()))));
    windowSession_.start(QSize(kMinTrackWidth, kMinTrackHeight));
    lastRect_.restore(LoadLastRectangle(SettingsPath()));
    const bool loupeOn = LoadLoupeOn(SettingsPath());
    mnLoupe_->setChecked(loupeOn);
    loupe_.setEnabled(loupeOn);

    editor_.resetLastMove();
    if (services_.clipboardNeedsFocus) {
        // Only a focused window may read or write the clipboard: the command-line file and
        // the read wait until the shown window is active and has been handed the
        // clipboard, for focusWaitMs at most.
        startupCommandLine_ = commandLine;
        services_.clipboard->watchChanges([this] {
            windowSession_.session().clipboardHandedOver();
            TryStartupLoad();
        });
        QTimer::singleShot(std::max(0, services_.focusWaitMs), this,
                           &frmCrop::LoadStartupClipboard);
        return;
    }
    // A Print Screen is taken with the window off the screen, should a long read have
    // shown it already.
    session.startupReadRunning(true);
    acquirer_.startUp(commandLine, true);
    session.startupReadRunning(false);
}

void frmCrop::WhileWaiting() {
    if (windowSession_.session().showWhileWaiting(isVisible(), windowSession_.now(),
                                                  kStartupShowAfterMs)) {
        show();
        // The busy pointer of the load takes in the window.
        const BusyScope busy(services_.busy);
    }
}

void frmCrop::TryStartupLoad() {
    if (windowSession_.session().startupLoadReady(isActiveWindow()))
        QMetaObject::invokeMethod(this, &frmCrop::LoadStartupClipboard, Qt::QueuedConnection);
}

void frmCrop::LoadStartupClipboard() {
    if (!windowSession_.session().takeStartupLoad()) return;
    services_.clipboard->watchChanges({});
    // The window is shown by now; a Print Screen is taken with it off the screen, as it is
    // before the window is first shown.
    acquirer_.startUp(startupCommandLine_, true);
}

void frmCrop::Form_Unload() {
    if (!windowSession_.session().closing()) return;
    windowSession_.stop();
    // A failed write is not reported (the program has no messages, and the close is never
    // cancelled); the previous settings file stays intact in that case.
    // One write: the file holds all the new values or, should it fail, all the old ones.
    (void)services_.storeSettings(SettingsToStore(), SettingsPath());
}

std::vector<IniEntry> frmCrop::SettingsToStore() const {
    std::vector<IniEntry> settings = placement_.PlacementEntries(placementWindow_);
    settings.push_back(CaptureWaitEntry(captureWait_));
    settings.push_back(LoupeEntry(loupe_.enabled()));
    if (lastRect_.block()) {
        const std::vector<IniEntry> last = LastRectangleEntries(*lastRect_.block());
        settings.insert(settings.end(), last.begin(), last.end());
    }
    return settings;
}

// --- saving and the menu --------------------------------------------------------------

void frmCrop::cmdSave_Click(int index) {
    if (index < 0 || index >= static_cast<int>(kSaveFormats.size())) return;
    const PixelRect block = sel_.highlight();
    BusyAfterDialog dialog(*services_.saveDialog, services_.busy);
    const SaveReport report = SaveSelection(
        kSaveFormats[static_cast<std::size_t>(index)], block, picCrop_->picture(),
        cbJpg_->currentText().toStdString(), dialog, *services_.sound, saveFolder_.folder());
    saveFolder_.remember(report);
    if (report.outcome == SaveOutcome::Saved) lastRect_.remember(block);
    if (report.outcome == SaveOutcome::Failed)
        qWarning("trimlet: the picture was not saved: %s", report.error.c_str());
}

void frmCrop::mnCopy_Click() {
    const BusyScope busy(services_.busy);
    // The sound tells whether it worked.
    const PixelRect block = sel_.highlight();
    if (CopySelection(block, picCrop_->picture(), *services_.clipboard, *services_.sound))
        lastRect_.remember(block);
}

void frmCrop::SelectFromMenu(const std::optional<Selection>& selection) {
    if (!selection) {
        services_.sound->play(SystemSound::Error);
        return;
    }
    editor_.select(*selection);
}

void frmCrop::mnTrim_Click() {
    SelectFromMenu(TrimToContent(sel_, picCrop_->picture(), kOutsideGrey));
}

void frmCrop::mnRect_Click() {
    // No picture: no rectangle the keyboard could reach.
    if (view_.imageWidth < 1 || view_.imageHeight < 1) {
        services_.sound->play(SystemSound::Error);
        return;
    }
    frmRect dialog(RectOf(sel_), view_.imageWidth, view_.imageHeight, this);
    if (const std::optional<CaptionRect> typed = dialog.ask()) SelectFromMenu(SelectionOf(*typed));
}

void frmCrop::mnLast_Click() { SelectFromMenu(lastRect_.selection()); }

void frmCrop::mnLoupe_Click(bool on) {
    loupe_.setEnabled(on);
    RefreshLoupe();
}

// The drag carries exactly what a save writes: as PNG data for receivers of pictures, and
// as the file "pic.png" for receivers of files. The file stays in the program's own
// folder until the window goes (the receiver may read it after the drop).
void frmCrop::StartDragOut() {
    dragOutFrom_.reset();
    // The drag takes the pointer; the press's release never reaches the picture.
    picCrop_->releasePointer();
    const QImage pixels = CutOut(picCrop_->picture(), sel_.highlight());
    if (pixels.isNull()) return;
    if (!dragDir_) dragDir_ = std::make_unique<QTemporaryDir>();
    const QString path =
        dragDir_->isValid() ? dragDir_->filePath(QStringLiteral("pic.png")) : QString();
    const ExportResult written = path.isEmpty() ? ExportResult::Failure("no private folder")
                                                : SaveImage(path, ImageFormat::Png, pixels, 0);
    QFile file(path);
    if (!written || !file.open(QIODevice::ReadOnly)) {
        qWarning("trimlet: the cut-out cannot be dragged: %s",
                 written ? "the file cannot be read" : written.error().c_str());
        services_.sound->play(SystemSound::Error);
        return;
    }
    auto* data = new QMimeData;
    data->setData(QStringLiteral("image/png"), file.readAll());
    data->setUrls({QUrl::fromLocalFile(path)});
    auto* drag = new QDrag(this);
    drag->setMimeData(data);
    const QImage thumbnail =
        pixels.width() > 96 || pixels.height() > 96
            ? pixels.scaled(96, 96, Qt::KeepAspectRatio, Qt::SmoothTransformation)
            : pixels.copy();
    drag->setPixmap(QPixmap::fromImage(thumbnail));
    drag->exec(Qt::CopyAction);
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
        // The program's own cut-out dragged back onto the view is not taken.
        if (event->type() == QEvent::DragEnter) {
            auto* enter = static_cast<QDragEnterEvent*>(event);
            if (enter->source())
                enter->ignore();
            else
                enter->acceptProposedAction();
            return true;
        }
        if (event->type() == QEvent::Drop) {
            auto* drop = static_cast<QDropEvent*>(event);
            if (drop->source()) {
                drop->ignore();
                return true;
            }
            drop->acceptProposedAction();
            picCrop_OLEDragDrop(drop->mimeData());
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

}  // namespace trimlet
