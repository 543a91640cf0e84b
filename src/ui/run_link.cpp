#include "ui/run_link.h"

#include <QElapsedTimer>
#include <QMetaObject>

void PendingAnswer::give(bool ok) {
    std::lock_guard lock(mutex_);
    if (given_)
        return;
    given_ = true;
    promise_.set_value(ok);
}

bool PendingAnswer::wait() {
    return future_.get();
}

RunLink::RunLink(QObject* window) : window_(window) {}

bool RunLink::post(std::function<void()> work) {
    std::lock_guard lock(mutex_);
    if (!window_)
        return false;
    queue_.push_back(std::move(work));
    if (!drainQueued_) {
        drainQueued_ = true;
        // The event is dropped with the window if it is destroyed first; detach() comes before that.
        QMetaObject::invokeMethod(
            window_, [self = shared_from_this()] { self->drain(); }, Qt::QueuedConnection);
    }
    return true;
}

std::shared_ptr<PendingAnswer> RunLink::newAnswer() {
    std::lock_guard lock(mutex_);
    if (!window_)
        return nullptr;
    std::erase_if(answers_, [](const std::weak_ptr<PendingAnswer>& a) { return a.expired(); });
    auto answer = std::make_shared<PendingAnswer>();
    answers_.push_back(answer);
    return answer;
}

void RunLink::detach() {
    std::vector<std::weak_ptr<PendingAnswer>> open;
    std::deque<std::function<void()>> dropped;
    {
        std::lock_guard lock(mutex_);
        window_ = nullptr;
        open.swap(answers_);
        dropped.swap(queue_);
    }
    for (const auto& weak : open) {
        if (auto answer = weak.lock())
            answer->give(false);
    }
}

bool RunLink::attached() const {
    std::lock_guard lock(mutex_);
    return window_ != nullptr;
}

void RunLink::drain() {
    constexpr qint64 SliceMilliseconds = 8;
    QElapsedTimer slice;
    slice.start();
    for (;;) {
        std::function<void()> work;
        {
            std::lock_guard lock(mutex_);
            if (!window_ || queue_.empty()) {
                drainQueued_ = false;
                return;
            }
            if (slice.elapsed() >= SliceMilliseconds) {
                // Let the event loop paint and take input; the rest follows in the next round.
                QMetaObject::invokeMethod(
                    window_, [self = shared_from_this()] { self->drain(); }, Qt::QueuedConnection);
                return;
            }
            work = std::move(queue_.front());
            queue_.pop_front();
        }
        work();
    }
}
