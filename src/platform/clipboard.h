#pragma once

#include <QImage>
#include <QMetaObject>
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

// The clipboard of the running QGuiApplication.
class QtClipboard final : public Clipboard {
public:
    QtClipboard() = default;
    // handToWlCopy: pictures are written through `wl-copy`, which offers them to the other
    // Wayland clients. Qt's own offer is accepted only right after a key or button press
    // in the program's window, and one that was turned down stays in Qt as if it were
    // the clipboard; so a file given at start-up, or the screen grabbed while the window
    // is hidden, would otherwise never leave the program.
    explicit QtClipboard(bool handToWlCopy);
    ~QtClipboard() override;
    std::optional<QImage> readImage() override;
    [[nodiscard]] bool writeImage(const QImage& image) override;
    void watchChanges(std::function<void()> changed) override;
    // What a read does while it waits for another program (see OwnerWait): the window
    // is kept painted, and a shutdown ends the wait as a failed read.
    void setOwnerWait(OwnerWait wait) { ownerWait_ = std::move(wait); }

private:
    std::optional<QImage> readForeign(const QClipboard& cb);
    OwnerWait ownerWait_;
    // Where the window system is X11: another program's clipboard is read over a
    // connection of our own (see XcbClipboardReader).
    std::unique_ptr<XcbClipboardReader> x11Reader_;
    bool reading_ = false;
    bool handToWlCopy_ = false;
    // The picture last handed to wl-copy, read back from here until the window system
    // tells of the next clipboard content (our own offer reaches us only with the focus).
    std::optional<QImage> handedOver_;
    QMetaObject::Connection forget_;
    QMetaObject::Connection watch_;
};

}  // namespace trimlet
