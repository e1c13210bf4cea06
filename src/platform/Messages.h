#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>

namespace quenterra {

// A Message: a modal notice with a text, a title, the exclamation icon and a single OK button.
// show() returns once the user has dismissed it.
class Messages {
public:
    virtual ~Messages() = default;
    virtual void show(const QString& text, const QString& title) = 0;
};

class QtMessages final : public Messages {
public:
    explicit QtMessages(QWidget* owner = nullptr) : owner_(owner) {}
    void setOwner(QWidget* owner) { owner_ = owner; }
    void show(const QString& text, const QString& title) override;

private:
    QPointer<QWidget> owner_;
};

}  // namespace quenterra
