#include <QDesktopServices>
#include <QUrl>

#include "platform/urlopener.h"

namespace trimlet {
namespace {

// The desktop's default handler for the address (xdg-open and friends on Linux).
class DesktopUrlOpener final : public UrlOpener {
public:
    void open(const QString& address) override {
        // Without a browser nothing opens; the version window has nothing else to offer.
        (void)QDesktopServices::openUrl(QUrl(address, QUrl::StrictMode));
    }
};

}  // namespace

std::unique_ptr<UrlOpener> CreateUrlOpener() { return std::make_unique<DesktopUrlOpener>(); }

}  // namespace trimlet
