#pragma once
// A function of a shared library that is loaded at the function's first call instead of at the
// program's start: a library that only some commands need (the server's client, the mail's MIME
// library, the workbook writer) and the libraries it brings then cost the other commands nothing.

#include <atomic>

// The function `name` of the library whose file name is `library`, which is loaded the first
// time and stays loaded; aborts when the library or the function cannot be found.
void* LibrarySymbol(const char* library, const char* name);

template <typename Function>
class LazyFunction;

template <typename Result, typename... Arguments>
class LazyFunction<Result (*)(Arguments...)> {
public:
    using Pointer = Result (*)(Arguments...);

    constexpr LazyFunction(const char* library, const char* name) : library_(library), name_(name) { }

    Result operator()(Arguments... arguments) const
    {
        Pointer function = function_.load(std::memory_order_acquire);
        if (function == nullptr) {
            // Two threads may both look it up; they find the same function.
            function = reinterpret_cast<Pointer>(LibrarySymbol(library_, name_));
            function_.store(function, std::memory_order_release);
        }
        return function(arguments...);
    }

private:
    const char* library_;
    const char* name_;
    mutable std::atomic<Pointer> function_{nullptr};
};
