#pragma once

#include <QImage>
#include <optional>

namespace trimlet {

// The system clipboard as the program uses it: one picture in, one picture out.
class Clipboard {
public:
    virtual ~Clipboard() = default;
    // The clipboard's picture; a null QImage when it holds none (text, files, nothing);
    // empty when the clipboard cannot be read at all, or holds a picture that cannot be
    // read within the picture limits.
    virtual std::optional<QImage> readImage() = 0;
    // Puts a picture on the clipboard, where other programs can paste it.
    virtual bool writeImage(const QImage& image) = 0;
};

// The clipboard of the running QGuiApplication.
class QtClipboard final : public Clipboard {
public:
    std::optional<QImage> readImage() override;
    bool writeImage(const QImage& image) override;
};

}  // namespace trimlet
