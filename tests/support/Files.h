#pragma once

// Reading and writing whole files in tests.

#include <QByteArray>
#include <QFile>
#include <QString>

#include <chrono>
#include <fstream>
#include <functional>
#include <future>
#include <iterator>
#include <memory>
#include <string>
#include <thread>

namespace quenterra::test {

// The file's bytes, or "<missing>" when it cannot be read.
inline QByteArray ReadFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

[[nodiscard]] inline bool WriteFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.flush();
}

// The same for a path in the system's own bytes, which need not be valid text.
inline QByteArray ReadNative(const QByteArray& path)
{
    std::ifstream file(path.constData(), std::ios::binary);
    if (!file) {
        return "<missing>";
    }
    const std::string bytes{std::istreambuf_iterator<char>(file), {}};
    return {bytes.data(), static_cast<qsizetype>(bytes.size())};
}

[[nodiscard]] inline bool WriteNative(const QByteArray& path, const QByteArray& bytes)
{
    std::ofstream file(path.constData(), std::ios::binary | std::ios::trunc);
    return file.write(bytes.constData(), bytes.size()) && file.flush();
}

// Runs work on a thread of its own; false when it has not finished within bound. A run that hangs
// is left behind, so that the test can fail instead of hanging with it.
[[nodiscard]] inline bool FinishesWithin(std::chrono::milliseconds bound,
                                         std::function<void()> work)
{
    auto done = std::make_shared<std::promise<void>>();
    std::future<void> finished = done->get_future();
    std::thread([done, work = std::move(work)] {
        work();
        done->set_value();
    }).detach();
    return finished.wait_for(bound) == std::future_status::ready;
}

// Generous for anything that does not wait on purpose; never reached unless something hangs.
inline constexpr std::chrono::milliseconds kHangBound{30'000};

}  // namespace quenterra::test
