// SPDX-License-Identifier: MIT
// A coroutine that a match's parts are written as, so that a match reads
// as rounds, countdowns and holds, yet never blocks: each wait suspends the
// whole chain of tasks down to whoever resumed it, and resuming the
// innermost task goes on where it stopped. A task starts when it is
// awaited, resumes its awaiter when it returns, and is destroyed with its
// owner (a suspended chain is destroyed from the outside in).
#pragma once

#include <coroutine>
#include <exception>
#include <type_traits>
#include <utility>

template <typename T> class Task;

namespace task_detail {

// At its end a task hands the thread straight to its awaiter.
struct ToAwaiter {
    std::coroutine_handle<> awaiter;
    // The coroutine calls it on the object, so it stays a member.
    // NOLINTNEXTLINE(readability-convert-member-functions-to-static)
    bool await_ready() const noexcept { return false; }
    std::coroutine_handle<> await_suspend(std::coroutine_handle<> /*ending*/) const noexcept {
        return awaiter ? awaiter : std::noop_coroutine();
    }
    void await_resume() const noexcept {}
};

struct PromiseBase {
    std::coroutine_handle<> awaiter;
    // The coroutine calls it on the object, so it stays a member.
    // NOLINTNEXTLINE(readability-convert-member-functions-to-static)
    std::suspend_always initial_suspend() const noexcept { return {}; }
    ToAwaiter final_suspend() const noexcept { return {awaiter}; }
    // The game throws nothing but the allocator's failure, which it does not survive.
    // The coroutine calls it on the object, so it stays a member.
    // NOLINTNEXTLINE(readability-convert-member-functions-to-static)
    [[noreturn]] void unhandled_exception() const noexcept { std::terminate(); }
};

template <typename T> struct Promise : PromiseBase {
    T value{};
    Task<T> get_return_object();
    void return_value(T v) { value = std::move(v); }
};

template <> struct Promise<void> : PromiseBase {
    Task<void> get_return_object();
    void return_void() const noexcept {}
};

} // namespace task_detail

template <typename T> class [[nodiscard]] Task {
public:
    using promise_type = task_detail::Promise<T>;
    using Handle = std::coroutine_handle<promise_type>;

    explicit Task(Handle h) : handle_(h) {}
    Task(Task&& other) noexcept : handle_(std::exchange(other.handle_, {})) {}
    Task& operator=(Task&& other) noexcept {
        std::swap(handle_, other.handle_);
        return *this;
    }
    Task(const Task&) = delete;
    Task& operator=(const Task&) = delete;
    ~Task() {
        if (handle_)
            handle_.destroy();
    }

    bool await_ready() const noexcept { return false; }
    std::coroutine_handle<> await_suspend(std::coroutine_handle<> awaiter) noexcept {
        handle_.promise().awaiter = awaiter;
        return handle_;
    }
    T await_resume() {
        if constexpr (std::is_void_v<T>)
            return;
        else
            return std::move(handle_.promise().value);
    }

    // For the owner of a chain's outermost task: start it, and see it end.
    void start() { handle_.resume(); }
    bool done() const { return handle_.done(); }

private:
    Handle handle_;
};

namespace task_detail {

template <typename T> Task<T> Promise<T>::get_return_object() {
    return Task<T>(Task<T>::Handle::from_promise(*this));
}

inline Task<void> Promise<void>::get_return_object() {
    return Task<void>(Task<void>::Handle::from_promise(*this));
}

} // namespace task_detail
