#pragma once

#include "platform/busypointer.h"

#include <QImage>
#include <QMetaObject>
#include <QStringList>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>

#include "platform/clipboard_xcb.h"

class QClipboard;

namespace trimlet {

// How long another program may leave a read of its clipboard without a byte before the
// read is given up on as failed.
inline constexpr std::chrono::milliseconds kOwnerSilenceLimit{1000};

// The system clipboard as the program uses it: one picture in, one picture out.
class Clipboard {
public:
    virtual ~Clipboard() = default;
    // The clipboard's picture; a null QImage when it holds none (text, files, nothing);
    // empty when the clipboard cannot be read at all (its owner stopped answering), or
    // holds a picture that cannot be read within the picture limits.
    [[nodiscard]] virtual std::optional<QImage> readImage() = 0;
    // Puts a picture on the clipboard, where other programs can paste it.
    [[nodiscard]] virtual bool writeImage(const QImage& image) = 0;
    // Calls `changed` whenever the window system tells of a new clipboard content (on
    // Wayland: also when a window of ours gains the focus and is handed the current
    // one); an empty function stops the calls.
    virtual void watchChanges(std::function<void()> changed) = 0;
};

// How the pictures the program writes reach the other programs.
enum class ClipboardWriter {
    // The toolkit's clipboard, at any moment (X11: any client may own the selection).
    Toolkit,
    // wl-copy, through the compositor's data-control protocol: needs no window of ours,
    // and serves on after the program has ended.
    DataControlTool,
    // The toolkit's Wayland clipboard, set while a window of ours has the keyboard focus
    // (the compositor turns the offer down otherwise); a picture written without the
    // focus waits for the window's return.
    FocusedToolkit,
};

// The data-control protocols, newest first, as their globals are named.
inline const QStringList kDataControlProtocols = {QStringLiteral("ext_data_control_manager_v1"),
                                                  QStringLiteral("zwlr_data_control_manager_v1")};

// On Wayland, wl-copy where the compositor announces a data-control protocol that wl-copy
// speaks (without one, wl-copy maps a surface of its own and takes the keyboard focus from
// the window); otherwise the toolkit's clipboard, used while focused.
[[nodiscard]] ClipboardWriter ChooseClipboardWriter(bool wayland,
                                                    const QStringList& compositorGlobals,
                                                    const QStringList& wlCopyProtocols);
// The same for this process: the platform plugin's name, the compositor's globals and
// the installed wl-copy.
[[nodiscard]] ClipboardWriter ClipboardWriterForSession(const QString& platformName);

// The clipboard of the running QGuiApplication. A picture is offered as image/png first
// (on X11 image/bmp after it, on Wayland PNG alone): programs that take the first picture
// format offered get the lossless, compact one.
class QtClipboard final : public Clipboard {
public:
    explicit QtClipboard(ClipboardWriter writer = ClipboardWriter::Toolkit);
    ~QtClipboard() override;
    std::optional<QImage> readImage() override;
    [[nodiscard]] bool writeImage(const QImage& image) override;
    void watchChanges(std::function<void()> changed) override;
    // What a read does while it waits for another program (see OwnerWait): the window
    // is kept painted, and a shutdown ends the wait as a failed read.
    void setOwnerWait(OwnerWait wait) { ownerWait_ = std::move(wait); }
    // Whether the desktop itself holds a copy of the picture we offer, and so keeps it
    // pasteable once we are gone. Where the compositor lets only the focused window near
    // the clipboard (no data-control protocol), a read of our offer while our window had
    // the keyboard focus can come from the compositor alone: it takes a copy at once (mutter
    // does, and keeps it when its owner goes).
    [[nodiscard]] bool desktopKeepsOurPicture() const;
    // Shown while another program's paste has our picture encoded (none: nothing).
    void setBusyPointer(BusyPointer* busy) { busy_ = busy; }

private:
    std::optional<QImage> readForeign(const QClipboard& cb);
    void offerNow(QImage image);  // a copy: the remembered picture may be handed in

    ClipboardWriter writer_;
    OwnerWait ownerWait_;
    BusyPointer* busy_ = nullptr;
    // Where the window system is X11: another program's clipboard is read over a
    // connection of our own (see XcbClipboardReader).
    std::unique_ptr<XcbClipboardReader> x11Reader_;
    bool reading_ = false;
    // The picture last written, read back from here until another program's content
    // replaces it: one handed to wl-copy reaches us only with the focus, and one waiting
    // for the focus is not on the clipboard yet.
    std::optional<QImage> handedOver_;
    // FocusedToolkit: written while no window of ours had the focus.
    bool waitingForFocus_ = false;
    // FocusedToolkit: a compositor may take an offer only with the serial of an input
    // event (mutter keeps the clipboard's owner against an offer older than its own), and
    // Qt sends the serial of the last key or button pressed in the program. An offer made
    // before any input since the window got the focus (a file given at start-up) is made
    // again at the first key or button press.
    bool inputSinceFocus_ = false;
    bool offerAgainOnInput_ = false;
    // FocusedToolkit: set once the current offer was read while a window of ours had the
    // keyboard focus.
    std::shared_ptr<bool> offerCopied_;
    std::unique_ptr<QObject> inputWatch_;
    QMetaObject::Connection forget_;
    QMetaObject::Connection focus_;
    QMetaObject::Connection watch_;
};

}  // namespace trimlet
