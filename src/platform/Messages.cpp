#include "platform/Messages.h"

#include <QMessageBox>

namespace quenterra {

void QtMessages::show(const QString& text, const QString& title)
{
    // The owner is used only while it is on screen; before the window is shown (a message during
    // start-up) the box stands on its own.
    QWidget* parent = owner_ && owner_->isVisible() ? owner_.data() : nullptr;
    QMessageBox box(QMessageBox::Warning, title, text, QMessageBox::Ok, parent);
    box.setObjectName(QStringLiteral("Message"));
    box.exec();
}

}  // namespace quenterra
