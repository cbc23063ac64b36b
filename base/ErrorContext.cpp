// The error context's fixed buffer: names of the operations an exception leaves, read back as one text.

#include "base/ErrorContext.h"

#include <cstring>

void ErrorContextBuffer::push(const char* text)
{
    if (!(textEnd_ + 4 < offsetTop_))
        return;
    std::memcpy(&bytes_[offsetTop_], &textEnd_, sizeof textEnd_);
    offsetTop_ -= 4;

    const std::size_t length = std::strlen(text);
    if (textEnd_ + length <= offsetTop_) {
        std::memcpy(&bytes_[textEnd_], text, length);
        textEnd_ += static_cast<std::uint32_t>(length);
    }
    if (textEnd_ < offsetTop_)
        bytes_[textEnd_++] = 0;
}

std::uint32_t ErrorContextBuffer::readOffset(std::uint32_t slot) const
{
    std::uint32_t offset = 0;
    std::memcpy(&offset, &bytes_[slot], sizeof offset);
    return offset;
}

std::string ErrorContextBuffer::ContextText(bool clear)
{
    std::string text;
    for (std::uint32_t slot = offsetTop_ + 4; slot <= kFirstOffsetSlot; slot += 4) {
        // A text that did not fit was never written; reading stops at the end of the text stack.
        for (std::uint32_t at = readOffset(slot); at < textEnd_ && bytes_[at] != 0; ++at)
            text += static_cast<char>(bytes_[at]);
        text += "\n ";
    }
    if (clear) {
        textEnd_ = 0;
        offsetTop_ = kFirstOffsetSlot;
    }
    return text;
}

ErrorContextBuffer& TheErrorContext()
{
    static ErrorContextBuffer buffer;
    return buffer;
}

ErrorContext::~ErrorContext()
{
    if (std::uncaught_exceptions() > exceptionsAtStart_)
        TheErrorContext().push(operation_);
}
