#pragma once

#include <QString>

namespace quenterra {

// A Message: a modal notice with a text, a title, the exclamation icon and a single OK button.
// show() returns once the user has dismissed it.
class Messages {
public:
    virtual ~Messages() = default;
    virtual void show(const QString& text, const QString& title) = 0;
};

}  // namespace quenterra
