#pragma once

#include <QDialog>
#include <QPointer>
#include <QWidget>

#include <vector>

#include "platform/Messages.h"

namespace quenterra {

// Messages as message boxes, centred on the owner while it is on screen.
class QtMessages final : public Messages {
public:
    explicit QtMessages(QWidget* owner = nullptr) : owner_(owner) {}
    void setOwner(QWidget* owner) { owner_ = owner; }
    void show(const QString& text, const QString& title) override;

    // The program is asked to close, and no one may be there to answer: every Message on screen is
    // dismissed as OK would, and any shown from now on returns at once.
    void dismissAll();

private:
    QPointer<QWidget> owner_;
    bool dismissing_ = false;
    std::vector<QPointer<QDialog>> open_;  // the Messages on screen, the innermost last
};

}  // namespace quenterra
