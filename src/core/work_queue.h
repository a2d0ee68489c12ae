#pragma once

#include <algorithm>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

namespace brintale {

// Work done on threads of the queue's own and handed back in the order it was given: the
// caller pushes items; each thread takes the first item not started yet (so one thread works
// them one after the other, in order, and more work on several at once); the caller takes the
// finished ones from the front only. At most `capacity` items are held, waiting, worked on or
// finished and not taken, so that memory stays bounded.
//
// Without threads (none asked, or the system started none) the caller's own thread works
// each item as it pushes it. What the work throws is kept, and the caller's next call throws
// it; no item is started after it. Item is default-constructible and movable.
template <typename Item>
class OrderedWorkQueue {
  public:
    OrderedWorkQueue(int threads, std::size_t capacity, std::function<void(Item&)> work)
        : capacity_(std::max<std::size_t>(capacity, 1)), work_(std::move(work)) {
        // Fewer threads than asked is no failure: those that started do the work.
        for (int k = 0; k < threads; ++k) {
            try {
                threads_.emplace_back([this] { Run(); });
            } catch (const std::system_error&) {
                break;
            } catch (const std::bad_alloc&) {
                break;
            }
        }
    }
    ~OrderedWorkQueue() {
        {
            std::unique_lock lock(mutex_);
            stopping_ = true;
        }
        changed_.notify_all();
        for (std::thread& thread : threads_) thread.join();
    }
    OrderedWorkQueue(const OrderedWorkQueue&) = delete;
    OrderedWorkQueue& operator=(const OrderedWorkQueue&) = delete;

    // The threads that started.
    int threads() const { return int(threads_.size()); }

    // Puts the item at the back, waiting while the queue is full and its front unfinished.
    // False, the item as it was, when the queue is full and its front finished: the caller is
    // to take that first.
    bool TryPush(Item& item) {
        std::unique_lock lock(mutex_);
        changed_.wait(
            lock, [&] { return failure_ || items_.size() < capacity_ || items_.front().finished; });
        Rethrow();
        if (items_.size() >= capacity_) return false;
        items_.push_back(Slot{std::move(item)});
        if (threads_.empty()) {
            Slot& slot = *FirstWaiting();
            lock.unlock();
            WorkOn(slot);
            return true;
        }
        changed_.notify_all();
        return true;
    }

    // Pushes the item, handing finished ones to `use` while there is no room.
    template <typename Use>
    void Push(Item&& item, Use&& use) {
        while (!TryPush(item)) TakeFinished(false, use);
    }

    // Hands the finished items at the front to use, in order, and drops them; with all,
    // every item pushed, waiting for those unfinished.
    template <typename Use>
    void TakeFinished(bool all, Use&& use) {
        for (;;) {
            Item item;
            {
                std::unique_lock lock(mutex_);
                if (all)
                    changed_.wait(lock, [&] {
                        return failure_ || items_.empty() || items_.front().finished;
                    });
                Rethrow();
                if (items_.empty() || !items_.front().finished) return;
                item = std::move(items_.front().item);
                items_.pop_front();
                --started_;
            }
            changed_.notify_all();
            use(item);
        }
    }

    // The caller's thread works too, on items not started yet, until none is left.
    void WorkHere() {
        for (;;) {
            Slot* slot = nullptr;
            {
                std::unique_lock lock(mutex_);
                Rethrow();
                slot = FirstWaiting();
                if (!slot) return;
            }
            WorkOn(*slot);
        }
    }

  private:
    struct Slot {
        Item item;
        bool finished = false;
    };

    // With the lock held. Items start in order, so the waiting ones are the last.
    Slot* FirstWaiting() {
        if (started_ == items_.size()) return nullptr;
        return &items_[started_++];
    }

    void Rethrow() const {
        if (failure_) std::rethrow_exception(failure_);
    }

    // Without the lock: a slot stays where it is while items come and go around it (a deque
    // moves no element when one is added at the back or taken from the front).
    void WorkOn(Slot& slot) {
        std::exception_ptr failure;
        try {
            work_(slot.item);
        } catch (...) {
            failure = std::current_exception();
        }
        {
            std::unique_lock lock(mutex_);
            slot.finished = true;
            if (failure && !failure_) failure_ = failure;
        }
        changed_.notify_all();
    }

    void Run() {
        for (;;) {
            Slot* slot = nullptr;
            {
                std::unique_lock lock(mutex_);
                changed_.wait(lock,
                              [&] { return stopping_ || (!failure_ && started_ < items_.size()); });
                if (stopping_) return;
                slot = FirstWaiting();
            }
            WorkOn(*slot);
        }
    }

    const std::size_t capacity_;
    const std::function<void(Item&)> work_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Slot> items_;
    std::size_t started_ = 0;  // the items at the front that have started
    std::exception_ptr failure_;
    bool stopping_ = false;
    std::vector<std::thread> threads_;
};

}  // namespace brintale
