#pragma once

#include <QImage>
#include <QMetaObject>
#include <functional>
#include <optional>

namespace trimlet {

// The system clipboard as the program uses it: one picture in, one picture out.
class Clipboard {
public:
    virtual ~Clipboard() = default;
    // The clipboard's picture; a null QImage when it holds none (text, files, nothing);
    // empty when the clipboard cannot be read at all.
    virtual std::optional<QImage> readImage() = 0;
    // Puts a picture on the clipboard, where other programs can paste it.
    virtual bool writeImage(const QImage& image) = 0;
    // Calls `changed` whenever the window system tells of a new clipboard content (on
    // Wayland: also when a window of ours gains the focus and is handed the current
    // one); an empty function stops the calls.
    virtual void watchChanges(std::function<void()> changed) = 0;
};

// The clipboard of the running QGuiApplication.
class QtClipboard final : public Clipboard {
public:
    std::optional<QImage> readImage() override;
    bool writeImage(const QImage& image) override;
    void watchChanges(std::function<void()> changed) override;

private:
    QMetaObject::Connection watch_;
};

}  // namespace trimlet
