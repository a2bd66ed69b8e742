#pragma once

#include <QString>
#include <memory>

namespace trimlet {

// Hands an address to the user's default browser.
class UrlOpener {
public:
    virtual ~UrlOpener() = default;
    virtual void open(const QString& address) = 0;
};

// The opener of the desktop the application runs on.
[[nodiscard]] std::unique_ptr<UrlOpener> CreateUrlOpener();

}  // namespace trimlet
