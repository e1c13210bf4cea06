#pragma once

#include <QPointer>
#include <QWidget>

#include "platform/Messages.h"

namespace quenterra {

// Messages as message boxes, centred on the owner while it is on screen.
class QtMessages final : public Messages {
public:
    explicit QtMessages(QWidget* owner = nullptr) : owner_(owner) {}
    void setOwner(QWidget* owner) { owner_ = owner; }
    void show(const QString& text, const QString& title) override;

private:
    QPointer<QWidget> owner_;
};

}  // namespace quenterra
