#pragma once

#include <QRect>
#include <QSize>
#include <QString>
#include <cstdint>
#include <optional>
#include <vector>

#include "settings/inifile.h"

namespace trimlet {

// Window states as they are stored.
enum class WindowShowState : std::int16_t { Normal = 0, Minimised = 1, Maximised = 2 };

// The placement of a top-level window as the settings see it: the outer frame's
// position and size in twips (1/1440 inch), and its state. The widget layer adapts a
// real window; tests use a fake.
class PlacementWindow {
public:
    virtual ~PlacementWindow() = default;
    virtual float left() const = 0;
    virtual float top() const = 0;
    virtual float width() const = 0;
    virtual float height() const = 0;
    virtual void setLeft(float twips) = 0;
    virtual void setTop(float twips) = 0;
    virtual void setWidth(float twips) = 0;
    virtual void setHeight(float twips) = 0;
    virtual WindowShowState state() const = 0;
    virtual void setState(WindowShowState state) = 0;

    // The screens, in twips of the virtual desktop; the primary screen first.
    virtual std::vector<QRect> screens() const = 0;
    // The smallest outer size the window is meant to have, in twips.
    virtual QSize minimumSize() const = 0;
    // False where the window system neither tells nor takes a window's position
    // (Wayland): left() and top() then mean nothing, and the stored position is kept.
    virtual bool positionKnown() const { return true; }
};

// The normal-state rectangle remembered while the window runs, in twips.
struct NormalPlacement {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
    friend bool operator==(const NormalPlacement&, const NormalPlacement&) = default;
};

// Keeps the main window's placement in section "Window" of the settings file: restored
// at start-up, followed while the window is resized in the normal state, written at
// shutdown. A window that is minimised or maximised at shutdown saves the rectangle it
// returns to when restored.
class WindowPlacement {
public:
    // Reads "Left", "Top", "Width", "Height" and "WindowState" and applies them to the
    // window, then remembers the window's rectangle. Values the window cannot take fall
    // back to the defaults, and a rectangle that lies entirely off every screen is moved
    // to the primary screen's top-left corner.
    void LoadWindowPlacement(PlacementWindow& window, const QString& path, std::int32_t defaultLeft,
                             std::int32_t defaultTop, std::int32_t defaultWidth,
                             std::int32_t defaultHeight);
    // Writes the rectangle (the remembered one unless the window is normal) and the
    // state, a minimised window as normal. Without a known position only the size and
    // the state are written; the stored Left and Top stay as they are.
    // False when any value could not be written.
    [[nodiscard]] bool SaveWindowPlacement(const PlacementWindow& window,
                                           const QString& path) const;
    // The values SaveWindowPlacement writes, for a write together with other settings.
    [[nodiscard]] std::vector<IniEntry> PlacementEntries(const PlacementWindow& window) const;
    // Runs on every resize: remembers the rectangle while the window is normal.
    void RememberNormalPlacement(const PlacementWindow& window);

    const NormalPlacement& normal() const { return normal_; }

private:
    NormalPlacement normal_;
};

// The capture wait in section "Wait", key "Capture", in milliseconds. Read as the
// stored text's numeric value rounded to a signed 32-bit integer, halves to even; empty
// when the file holds none or the value does not round into 32 bits.
[[nodiscard]] std::optional<std::int32_t> LoadCaptureWait(const QString& path);
// Written as trimmed number text ("1000"); false when the file could not be written.
[[nodiscard]] bool SaveCaptureWait(std::int32_t milliseconds, const QString& path);
// The value SaveCaptureWait writes.
[[nodiscard]] IniEntry CaptureWaitEntry(std::int32_t milliseconds);

}  // namespace trimlet
