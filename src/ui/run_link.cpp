#include "ui/run_link.h"

#include <QElapsedTimer>
#include <QMetaObject>
#include <QTimer>

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
    // Work is taken in batches, so that the runs seldom wait for the lock, and carried out for at
    // most a slice of time before the event loop gets its turn. While work keeps coming, the next
    // round follows a frame later instead of one wake-up per call. Each round that appends rows makes
    // the visible grid repaint in full, which costs more than the updates themselves: a pause of one
    // 60 Hz frame keeps those repaints to what a screen can show.
    constexpr qint64 SliceMilliseconds = 8;
    constexpr int PauseMilliseconds = 16;
    QElapsedTimer slice;
    slice.start();
    std::deque<std::function<void()>> batch;
    {
        std::lock_guard lock(mutex_);
        if (!window_)
            return;
        batch.swap(queue_);
        if (batch.empty()) {
            drainQueued_ = false;
            return;
        }
    }
    while (!batch.empty() && slice.elapsed() < SliceMilliseconds) {
        std::function<void()> work = std::move(batch.front());
        batch.pop_front();
        work();
    }
    std::lock_guard lock(mutex_);
    if (!window_)
        return;
    // What is left of the batch came before anything queued meanwhile.
    queue_.insert(queue_.begin(), std::make_move_iterator(batch.begin()), std::make_move_iterator(batch.end()));
    QTimer::singleShot(PauseMilliseconds, window_, [self = shared_from_this()] { self->drain(); });
}
