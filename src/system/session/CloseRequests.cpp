#include "system/session/CloseRequests.h"

namespace quenterra {

CloseRequests::CloseRequests(std::function<void(int count)> request)
    : request_(std::move(request)), signals_(watchSignals([this] { this->request(); }))
{
}

CloseRequests::~CloseRequests() = default;

void CloseRequests::watchWindow(const QWidget* window)
{
    windowLoss_ = watchLoss(window, [this] { request(); });
}

void CloseRequests::request()
{
    request_(++count_);
}

}  // namespace quenterra
