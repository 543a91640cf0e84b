#pragma once
// What ties the check runs to the main window. A run calls its RunWindow from its own thread; every
// call is queued here and carried out on the window's thread in the order of the calls. Once the
// window goes (detach), every later call does nothing and every question a run waits on is answered
// as Cancel, so that a run never touches a destroyed widget and never waits for a box that is gone.

#include <QObject>

#include <deque>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <vector>

// The answer to a box a run waits on: given once, by the user or by the window going away.
class PendingAnswer {
public:
    // Later calls are ignored.
    void give(bool ok);
    // Blocks the calling run until the answer is given.
    bool wait();

private:
    std::mutex mutex_;
    bool given_ = false;
    std::promise<bool> promise_;
    std::future<bool> future_ = promise_.get_future();
};

class RunLink : public std::enable_shared_from_this<RunLink> {
public:
    // window: the object on whose thread the calls are carried out; it must call detach() before it
    // is destroyed.
    explicit RunLink(QObject* window);

    // Any thread. Queues work to run on the window's thread after everything queued before it;
    // false (and work dropped) once detached.
    bool post(std::function<void()> work);
    // Any thread. A new open question, or nullptr once detached.
    std::shared_ptr<PendingAnswer> newAnswer();
    // Window's thread. No later post runs, queued work is dropped, and every open question is
    // answered false. Idempotent.
    void detach();
    bool attached() const;

private:
    // Window's thread: runs queued work in slices of a few milliseconds with pauses between them,
    // so that a flood of updates never keeps the window from painting or taking input.
    void drain();

    mutable std::mutex mutex_;
    QObject* window_;
    std::deque<std::function<void()>> queue_;
    bool drainQueued_ = false;
    std::vector<std::weak_ptr<PendingAnswer>> answers_;
};
