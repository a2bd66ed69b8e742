// Saving the selection.
#include <QComboBox>
#include <QFocusEvent>
#include <QTimer>

#include "app/frmcrop.h"
#include "export/quality.h"
#include "export/savesequence.h"
#include "platform/savedialog.h"
#include "platform/sound.h"

namespace trimlet {
namespace {

class SilentSound final : public SoundPlayer {
public:
    void play(SystemSound) override {}
};

// Runs the quality box's check when the focus leaves the box for another control of
// the window (not when another window, the menu bar or the box's own list takes it),
// and puts the focus back when the check asks to keep it.
class QualityBoxGuard final : public QObject {
public:
    QualityBoxGuard(frmCrop* window, QComboBox* box) : QObject(box), window_(window), box_(box) {}

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == box_ && event->type() == QEvent::FocusOut) {
            const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
            const bool toAnotherControl = reason != Qt::ActiveWindowFocusReason &&
                                          reason != Qt::PopupFocusReason &&
                                          reason != Qt::MenuBarFocusReason;
            if (toAnotherControl && window_->cbJpg_Validate()) {
                // Not inside the focus change itself: once it is done.
                QTimer::singleShot(0, box_, [box = box_] { box->setFocus(Qt::OtherFocusReason); });
            }
        }
        return false;
    }

private:
    frmCrop* window_;
    QComboBox* box_;
};

}  // namespace

void frmCrop::InstallQualityCheck() {
    // The editable box keeps the focus itself (its line edit is only its proxy).
    cbJpg_->installEventFilter(new QualityBoxGuard(this, cbJpg_));
}

void frmCrop::cmdSave_Click(int index) {
    if (!services_.saveDialog) return;
    SilentSound silent;
    SoundPlayer& sound = services_.sound ? *services_.sound : silent;
    const SaveReport report = SaveSelection(index, sel_.highlight(), picCrop_->picture(),
                                            cbJpg_->currentText().toStdString(),
                                            *services_.saveDialog, sound, saveFolder_.folder());
    saveFolder_.remember(report);
    if (report.outcome == SaveOutcome::Failed)
        qWarning("trimlet: the picture was not saved: %s", report.error.c_str());
}

void frmCrop::mnCopy_Click() {
    if (!services_.clipboard) return;
    SilentSound silent;
    SoundPlayer& sound = services_.sound ? *services_.sound : silent;
    (void)CopySelection(sel_.highlight(), picCrop_->picture(), *services_.clipboard, sound);
}

bool frmCrop::cbJpg_Validate() {
    const QualityCheck check = ValidateQualityText(cbJpg_->currentText().toStdString());
    if (check.newText) cbJpg_->setEditText(QString::fromStdString(*check.newText));
    return check.keepFocus;
}

}  // namespace trimlet
