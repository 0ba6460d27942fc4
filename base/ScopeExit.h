#pragma once

#include <functional>
#include <utility>

// Runs the action when the scope ends, also on an exception; Release() cancels it.
class TScopeExit {
public:
    explicit TScopeExit(std::function<void()> f) : m_f(std::move(f)) {}
    ~TScopeExit()
    {
        if (m_f)
            m_f();
    }
    void Release() { m_f = nullptr; }
    TScopeExit(const TScopeExit&) = delete;
    TScopeExit& operator=(const TScopeExit&) = delete;

private:
    std::function<void()> m_f;
};
