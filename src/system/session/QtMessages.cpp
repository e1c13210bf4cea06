#include "system/session/QtMessages.h"

#include <QMessageBox>

namespace quenterra {

void QtMessages::show(const QString& text, const QString& title)
{
    if (dismissing_) {
        return;
    }
    // The owner is used only while it is on screen; before the window is shown (a message during
    // start-up) the box stands on its own.
    QWidget* parent = owner_ && owner_->isVisible() ? owner_.data() : nullptr;
    QMessageBox box(QMessageBox::Warning, title, text, QMessageBox::Ok, parent);
    box.setObjectName(QStringLiteral("Message"));
    // A notice with one button: a title and a close box, neither minimising nor maximising, also
    // when it stands on its own.
    box.setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                       Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                       Qt::MSWindowsFixedSizeDialogHint);
    open_.emplace_back(&box);
    box.exec();
    open_.pop_back();
}

void QtMessages::dismissAll()
{
    dismissing_ = true;
    for (const QPointer<QDialog>& box : open_) {
        if (box) {
            box->done(QMessageBox::Ok);
        }
    }
}

}  // namespace quenterra
