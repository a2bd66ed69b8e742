#include "windows/frmhelp.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <array>
#include <string_view>

#include "export/saveformats.h"
#include "windows/qualitybox.h"

namespace trimlet {
namespace {

QString Utf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QGroupBox* Frame(QWidget* parent, const char* name, const QString& caption, const QRect& r) {
    auto* frame = new QGroupBox(caption, parent);
    frame->setObjectName(QString::fromLatin1(name));
    frame->setFont(EmphasisFont(9.75));
    // The caption sits on the frame's top line, as the designed positions expect: the
    // first row of a frame's contents starts 16 pixels down and must stay inside it.
    frame->setStyleSheet(QStringLiteral(
        "QGroupBox { border: 1px solid palette(mid); border-radius: 2px; margin-top: 7px; }"
        "QGroupBox::title { subcontrol-origin: margin; subcontrol-position: top left;"
        " left: 6px; top: 0px; padding: 0 2px; }"));
    frame->setGeometry(r);
    return frame;
}

// A label that wraps its text inside its own box, from the top left, as designed.
QLabel* Label(QWidget* parent, const char* name, const QString& text, const QRect& r) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setFont(PlainFont());
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setGeometry(r);
    return label;
}

// A look-alike of a main window button: it can be pressed and does nothing.
QPushButton* Copy(QWidget* parent, const char* name, const QString& caption, const QRect& r) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setFont(PlainFont());
    button->setAutoDefault(false);
    button->setGeometry(r);
    return button;
}

}  // namespace

frmHelp::frmHelp(QWidget* parent)
    : AuxWindow(parent, QStringLiteral("つかいかた"), Twips(0, 0, 4500, 9720).size()) {
    setObjectName(QStringLiteral("frmHelp"));

    // Buttons. The PNG row is the last one: the frame is one row (480) taller than the
    // three-format sheet, and everything below it moves down by what the frames grew.
    QGroupBox* frButton =
        Frame(this, "frButton", QStringLiteral("ボタン関係"), Twips(120, 120, 4215, 3615));
    // The save buttons' rows, from the format table: "cmdSave<index>" and "lbl<caption>".
    std::array<QPushButton*, kSaveFormats.size()> saves{};
    for (std::size_t i = 0; i < kSaveFormats.size(); ++i) {
        const SaveFormat& f = kSaveFormats[i];
        const QString caption = Utf8(f.caption);
        saves[i] =
            Copy(frButton, QStringLiteral("cmdSave%1").arg(i).toLatin1().constData(), caption,
                 Twips(kHelpSaveButtonLeft, f.helpTop, kHelpSaveButtonWidth, kHelpSaveRowHeight));
        Label(frButton, ("lbl" + caption).toLatin1().constData(), Utf8(f.helpText),
              Twips(kHelpSaveTextLeft, f.helpTop, kHelpSaveTextWidth, kHelpSaveRowHeight));
    }
    QComboBox* cbJpg = MakeQualityBox(frButton);
    cbJpg->setFont(PlainFont());
    cbJpg->setGeometry(Twips(120, 1710, 675, 300));
    Label(frButton, "lblPercent", QStringLiteral("%"), Twips(840, 1800, 180, 255));
    Label(frButton, "lblJPG2",
          QStringLiteral("上のJPEGファイルの画質を指定。100に近いほど高画質でファイルサイズ大。"),
          Twips(1080, 1680, 3015, 375));
    QPushButton* cap =
        Copy(frButton, "cmdCap", QStringLiteral("画面ｷｬﾌﾟﾁｬ"), Twips(120, 2160, 1095, 375));
    Label(frButton, "lblCapture",
          QStringLiteral("このソフトのウィンドウを隠して、画面をキャプチャする。"),
          Twips(1320, 2160, 2415, 375));
    QPushButton* reload =
        Copy(frButton, "cmdCBChk", QStringLiteral("再読込"), Twips(120, 2640, 1095, 375));
    Label(frButton, "lblCBChk", QStringLiteral("現在クリップボードにある画像を再読み込みする。"),
          Twips(1320, 2640, 2415, 375));

    // Mouse and keys: an action column and an effect column; Ctrl+C and the four precise
    // edits under the notes, which makes the frame 1320 taller.
    QGroupBox* frOperation =
        Frame(this, "frOperation", QStringLiteral("操作関係"), Twips(120, 3840, 4215, 4095));
    struct Row {
        int top;
        const char* actionName;
        const char* action;
        const char* effectName;
        const char* effect;
    };
    const Row rows[] = {
        {360, "Label2", "左クリック", "Label1", "選択解除"},
        {600, "Label4", "左ドラッグ", "Label3", "選択"},
        {840, "Label6", "右ドラッグ", "Label5", "選択範囲の移動"},
        {1200, "Label7", "方向キー", "Label8", "選択範囲の移動"},
        {1440, "Label9", "CTRL+方向キー", "Label10", "選択範囲の変更"},
        {2760, "Label15", "CTRL+C", "Label16", "選択範囲のコピー"},
        {3000, "Label17", "CTRL+T", "Label18", "余白を除いて選択"},
        {3240, "Label19", "CTRL+R", "Label20", "選択範囲を数値で指定"},
        {3480, "Label21", "CTRL+L", "Label22", "前回の範囲を選択"},
        {3720, "Label23", "CTRL+M", "Label24", "拡大鏡の表示切替"},
    };
    for (const Row& r : rows) {
        Label(frOperation, r.actionName, QString::fromUtf8(r.action), Twips(240, r.top, 1935, 255));
        Label(frOperation, r.effectName, QString::fromUtf8(r.effect),
              Twips(2280, r.top, 1815, 255));
    }
    Label(frOperation, "Label11",
          QStringLiteral("SHIFTを方向キー操作時に押していると、10ピクセルずつ移動・変更する。"),
          Twips(240, 1800, 3135, 375));
    Label(frOperation, "Label12",
          QStringLiteral(
              "ALTを方向キー操作時に押していると、選択範囲にあわせて画面がスクロールする。"),
          Twips(240, 2280, 3375, 375));

    // Drag and drop.
    QGroupBox* frDragDrop = Frame(this, "frDragDrop", QStringLiteral("ドラッグ＆ドロップ関係"),
                                  Twips(120, 8040, 4215, 1095));
    Label(frDragDrop, "Label14",
          QStringLiteral("トリムレットのアイコンに画像ファイルをドロップすると、ソフトとクリップボ"
                         "ードに画像を読み込む。"),
          Twips(240, 240, 3735, 375));
    Label(frDragDrop, "Label13", QStringLiteral("トリムレットの画像表示部分にもドロップ可能。"),
          Twips(240, 720, 3735, 255));

    // The one working control. Escape closes the window as well (the dialog's cancel).
    cmdClose_ = Copy(this, "cmdClose", QStringLiteral("とじる"), Twips(1440, 9240, 1575, 375));
    connect(cmdClose_, &QPushButton::clicked, this, &frmHelp::cmdClose_Click);

    QWidget::setTabOrder(reload, cap);
    QWidget::setTabOrder(cap, cbJpg);
    QWidget* previous = cbJpg;
    for (const std::size_t i : SaveTabOrder(true)) {
        QWidget::setTabOrder(previous, saves[i]);
        previous = saves[i];
    }
    QWidget::setTabOrder(previous, cmdClose_);
    reload->setFocus();
}

}  // namespace trimlet
