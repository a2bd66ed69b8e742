#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <chrono>
#include <functional>
#include <memory>

namespace trimlet {

// How a request to the clipboard's owner ended.
enum class OwnerAnswer {
    Data,     // the bytes came (an incremental transfer to its end)
    Refused,  // the owner said it cannot give that form, or the form is beyond any budget
    NoOwner,  // nobody owns the clipboard
    Silent,   // the owner stopped answering, or the wait was stopped
};

// What a wait on the owner does meanwhile: `tick` runs at least every 50 ms; `stop`
// ends the wait at once (as if the owner had gone silent).
struct OwnerWait {
    std::function<void()> tick;
    std::function<bool()> stop;
};

// Another program's X11 CLIPBOARD, read over a connection of our own, so that every wait
// on the owner is ours to bound (Qt's own reads wait 5 s per request, blocked): an owner
// that sends nothing for `silence` is given up on, one that keeps sending (a large
// picture, incrementally) is waited for however long its transfer takes.
class XcbClipboardReader {
public:
    explicit XcbClipboardReader(std::chrono::milliseconds silence);
    ~XcbClipboardReader();
    XcbClipboardReader(const XcbClipboardReader&) = delete;
    XcbClipboardReader& operator=(const XcbClipboardReader&) = delete;

    // The forms the owner offers (its TARGETS), as names.
    [[nodiscard]] OwnerAnswer targets(QStringList& names, const OwnerWait& wait);
    // The clipboard in one form; at most `limit` bytes (more: Refused).
    [[nodiscard]] OwnerAnswer fetch(const QString& target, qint64 limit, QByteArray& bytes,
                                    const OwnerWait& wait);

private:
    struct Connection;
    [[nodiscard]] OwnerAnswer request(const QByteArray& target, qint64 limit, QByteArray& bytes,
                                      const OwnerWait& wait);
    std::chrono::milliseconds silence_;
    std::unique_ptr<Connection> connection_;
};

}  // namespace trimlet
