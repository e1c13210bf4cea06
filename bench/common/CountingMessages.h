#pragma once

#include <QString>

#include <cstdio>

#include "platform/Messages.h"

namespace quenterra::bench {

// Messages that show nothing: each is told on stderr and counted, since a benchmark that meets one
// did not measure what it meant to.
class CountingMessages final : public Messages {
public:
    void show(const QString& text, const QString& title) override
    {
        std::fprintf(stderr, "message: %s (%s)\n", qPrintable(text), qPrintable(title));
        ++shown;
    }
    int shown = 0;
};

}  // namespace quenterra::bench
