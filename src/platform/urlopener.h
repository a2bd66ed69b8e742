#pragma once

#include <QString>

namespace trimlet {

// Hands an address to the user's default browser.
class UrlOpener {
public:
    virtual ~UrlOpener() = default;
    virtual void open(const QString& address) = 0;
};

}  // namespace trimlet
