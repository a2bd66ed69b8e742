#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "selection/precision.h"
#include "windows/auxwindow.h"

class QPushButton;
class QSpinBox;

namespace trimlet {

// "範囲の指定": the selection typed as four numbers (left, top, width, height as the
// caption counts them). Each box refuses what no rectangle on the picture can use; "OK"
// (and Enter) is there only while the four together are a rectangle the keyboard can
// reach. Escape and "キャンセル" leave the selection alone. Built afresh at each opening.
class frmRect final : public AuxWindow {
    Q_OBJECT
public:
    frmRect(const CaptionRect& current, std::int32_t imageWidth, std::int32_t imageHeight,
            QWidget* parent = nullptr);

    // The rectangle typed in (meaningful once the window was accepted).
    [[nodiscard]] CaptionRect rectangle() const;
    // Runs the window; the rectangle when it ends by "OK".
    [[nodiscard]] std::optional<CaptionRect> ask();

    QSpinBox* box(RectField field) const { return boxes_[static_cast<std::size_t>(field)]; }
    QPushButton* cmdOK() const { return cmdOK_; }

private:
    void Check();

    std::int32_t imageWidth_;
    std::int32_t imageHeight_;
    std::array<QSpinBox*, 4> boxes_{};
    QPushButton* cmdOK_ = nullptr;
    QPushButton* cmdCancel_ = nullptr;
};

}  // namespace trimlet
