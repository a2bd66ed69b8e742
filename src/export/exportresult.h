#pragma once

#include <string>
#include <utility>

namespace trimlet {

// What an encoder or a save did: fine, or a message saying what went wrong.
class [[nodiscard]] ExportResult {
public:
    static ExportResult Ok() { return ExportResult(true, {}); }
    static ExportResult Failure(std::string message) {
        return ExportResult(false, std::move(message));
    }
    bool ok() const { return ok_; }
    explicit operator bool() const { return ok_; }
    const std::string& error() const { return error_; }

private:
    ExportResult(bool ok, std::string error) : ok_(ok), error_(std::move(error)) {}
    bool ok_;
    std::string error_;
};

}  // namespace trimlet
