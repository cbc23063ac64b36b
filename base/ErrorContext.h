#pragma once
// The error context: operations name themselves, and the names of the operations an exception
// leaves are recorded so that the final report tells which chain of operations failed.

#include <cstddef>
#include <cstdint>
#include <exception>
#include <string>

// 8192 bytes holding two stacks that grow towards each other: zero-terminated texts from the
// start upwards, 32-bit offsets of those texts from the end downwards. It never overflows;
// what does not fit is dropped or recorded as an empty text.
class ErrorContextBuffer {
public:
    static constexpr std::size_t kSize = 8192;
    static constexpr std::uint32_t kFirstOffsetSlot = kSize - 4;

    void push(const char* text);

    // The recorded texts from the most recently pushed to the first, each followed by "\n ".
    std::string ContextText(bool clear);

    std::uint32_t textEnd() const { return textEnd_; }
    std::uint32_t offsetTop() const { return offsetTop_; }

private:
    std::uint32_t readOffset(std::uint32_t slot) const;

    unsigned char bytes_[kSize] = {};
    std::uint32_t textEnd_ = 0;
    std::uint32_t offsetTop_ = kFirstOffsetSlot;
};

// The process-wide buffer; only the user-interface thread uses it.
ErrorContextBuffer& TheErrorContext();

// Scope guard naming an operation: records its text only when an exception leaves the scope.
class ErrorContext {
public:
    explicit ErrorContext(const char* operation) : operation_(operation) { }
    ErrorContext(const ErrorContext&) = delete;
    ErrorContext& operator=(const ErrorContext&) = delete;
    ~ErrorContext();

private:
    const char* operation_;
    int exceptionsAtStart_ = std::uncaught_exceptions();
};
