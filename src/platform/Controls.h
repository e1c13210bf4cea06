#pragma once

#include <QString>

namespace quenterra {

// The narrow views of the window's controls that the program's logic works through.

// An editable drop-down: a text over a list of fixed items. The list position is the 0-based index
// of the chosen item, -1 when no item is chosen (the text is then empty).
class Selector {
public:
    virtual ~Selector() = default;
    virtual int listPosition() const = 0;
    // Chooses the item at position, which also makes it the text; -1 chooses none and empties the
    // text.
    virtual void setListPosition(int position) = 0;
    virtual QString text() const = 0;
    virtual void setText(const QString& text) = 0;
    virtual int count() const = 0;
    virtual QString item(int position) const = 0;
    // Removes every item; the text becomes empty too.
    virtual void clear() = 0;
    virtual void addItem(const QString& item) = 0;
};

// A label whose caption the program writes.
class Caption {
public:
    virtual ~Caption() = default;
    virtual QString caption() const = 0;
    virtual void setCaption(const QString& caption) = 0;
};

// The periodic refresh timer.
class RefreshTimer {
public:
    virtual ~RefreshTimer() = default;
    virtual bool isEnabled() const = 0;
    virtual void setEnabled(bool enabled) = 0;
};

// A horizontal progress bar.
class ProgressBar {
public:
    virtual ~ProgressBar() = default;
    virtual void setMin(int min) = 0;
    virtual void setMax(int max) = 0;
    virtual void setValue(int value) = 0;
};

}  // namespace quenterra
