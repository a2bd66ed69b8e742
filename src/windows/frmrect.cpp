#include "windows/frmrect.h"

#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <algorithm>

namespace trimlet {
namespace {

struct FieldRow {
    RectField field;
    const char* name;
    const char* caption;
};
constexpr FieldRow kRows[] = {
    {RectField::Left, "txtLeft", "左"},
    {RectField::Top, "txtTop", "上"},
    {RectField::Width, "txtWidth", "幅"},
    {RectField::Height, "txtHeight", "高さ"},
};

int ToInt(std::int64_t v) {
    return static_cast<int>(std::clamp<std::int64_t>(v, INT32_MIN, INT32_MAX));
}

}  // namespace

frmRect::frmRect(const CaptionRect& current, std::int32_t imageWidth, std::int32_t imageHeight,
                 QWidget* parent)
    : AuxWindow(parent, QStringLiteral("範囲の指定"), QSize(200, 160)),
      imageWidth_(imageWidth),
      imageHeight_(imageHeight) {
    setObjectName(QStringLiteral("frmRect"));
    const std::int64_t values[] = {current.left, current.top, current.width, current.height};
    int top = 12;
    for (const FieldRow& row : kRows) {
        auto* label = new QLabel(QString::fromUtf8(row.caption), this);
        label->setGeometry(16, top + 3, 48, 18);
        auto* box = new QSpinBox(this);
        box->setObjectName(QString::fromLatin1(row.name));
        // The box refuses what lies outside its range as it is typed.
        const NumberRange range = FieldRange(row.field, imageWidth, imageHeight);
        box->setRange(ToInt(range.min), ToInt(range.max));
        box->setValue(ToInt(values[static_cast<int>(row.field)]));
        box->setGeometry(72, top, 112, 24);
        label->setBuddy(box);
        boxes_[static_cast<std::size_t>(row.field)] = box;
        connect(box, &QSpinBox::valueChanged, this, &frmRect::Check);
        top += 28;
    }
    cmdOK_ = new QPushButton(QStringLiteral("OK"), this);
    cmdOK_->setObjectName(QStringLiteral("cmdOK"));
    cmdOK_->setGeometry(16, 126, 80, 26);
    cmdOK_->setDefault(true);
    cmdCancel_ = new QPushButton(QStringLiteral("キャンセル"), this);
    cmdCancel_->setObjectName(QStringLiteral("cmdCancel"));
    cmdCancel_->setGeometry(104, 126, 80, 26);
    cmdCancel_->setAutoDefault(false);
    connect(cmdOK_, &QPushButton::clicked, this, &QDialog::accept);
    connect(cmdCancel_, &QPushButton::clicked, this, &QDialog::reject);
    Check();
    boxes_[0]->setFocus();
    boxes_[0]->selectAll();
}

CaptionRect frmRect::rectangle() const {
    const auto v = [this](RectField f) { return std::int64_t{box(f)->value()}; };
    return {v(RectField::Left), v(RectField::Top), v(RectField::Width), v(RectField::Height)};
}

void frmRect::Check() {
    cmdOK_->setEnabled(AcceptableRectangle(rectangle(), imageWidth_, imageHeight_));
}

std::optional<CaptionRect> frmRect::ask() {
    if (exec() != QDialog::Accepted) return std::nullopt;
    const CaptionRect r = rectangle();
    if (!AcceptableRectangle(r, imageWidth_, imageHeight_)) return std::nullopt;
    return r;
}

}  // namespace trimlet
