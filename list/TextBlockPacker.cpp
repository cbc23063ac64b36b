// The thread that packs finished text blocks of the list.

#include "list/TextBlockPacker.h"

#include <lz4.h>
#include <lz4hc.h>

#include <cstring>
#include <system_error>
#include <utility>

TextBlockPacker::~TextBlockPacker()
{
    {
        const std::lock_guard lock(mutex_);
        stop_ = true;
        jobs_.clear();
    }
    wake_.notify_all();
    if (thread_.joinable())
        thread_.join();
}

bool TextBlockPacker::Submit(std::uint64_t serial, std::shared_ptr<const char[]> block, std::size_t used)
{
    if (used == 0 || used > static_cast<std::size_t>(LZ4_MAX_INPUT_SIZE))
        return false;
    if (!thread_.joinable()) {
        try {
            thread_ = std::thread(&TextBlockPacker::Run, this);
        } catch (const std::system_error&) {
            // No thread to spare: the texts stay unpacked, which costs memory, not texts.
            return false;
        }
    }
    {
        const std::lock_guard lock(mutex_);
        jobs_.push_back({serial, std::move(block), used});
    }
    wake_.notify_one();
    return true;
}

std::vector<TextBlockPacker::Packed> TextBlockPacker::TakePacked()
{
    const std::lock_guard lock(mutex_);
    ready_.store(false, std::memory_order_release);
    return std::exchange(packed_, {});
}

void TextBlockPacker::WaitUntilIdle()
{
    std::unique_lock lock(mutex_);
    idle_.wait(lock, [this] { return jobs_.empty() && !busy_; });
}

bool TextBlockPacker::Unpack(const char* packed, std::size_t packedSize, char* out, std::size_t size)
{
    const int made = LZ4_decompress_safe(packed, out, static_cast<int>(packedSize), static_cast<int>(size));
    return made >= 0 && static_cast<std::size_t>(made) == size;
}

void TextBlockPacker::Run()
{
    std::vector<char> scratch;
    // The slower, tighter packing needs a state of its own; made once for the thread.
    std::unique_ptr<char[]> tightState;
    for (;;) {
        Job job;
        bool behind = false;
        {
            std::unique_lock lock(mutex_);
            busy_ = false;
            if (jobs_.empty())
                idle_.notify_all();
            wake_.wait(lock, [this] { return stop_ || !jobs_.empty(); });
            if (stop_)
                return;
            job = std::move(jobs_.front());
            jobs_.pop_front();
            busy_ = true;
            behind = jobs_.size() >= kBehindBlocks;
        }
        const int used = static_cast<int>(job.used);
        const int room = LZ4_compressBound(used);
        scratch.resize(static_cast<std::size_t>(room));
        int made = 0;
        if (behind) {
            made = LZ4_compress_default(job.block.get(), scratch.data(), used, room);
        } else {
            if (!tightState)
                tightState = std::make_unique_for_overwrite<char[]>(static_cast<std::size_t>(LZ4_sizeofStateHC()));
            made =
                LZ4_compress_HC_extStateHC(tightState.get(), job.block.get(), scratch.data(), used, room, kTightLevel);
        }
        Packed packed{job.serial, nullptr, 0};
        // A block that hardly shrinks is kept as it is: unpacking it would cost reads for nothing.
        if (made > 0 && made < used - used / 8) {
            packed.size = static_cast<std::size_t>(made);
            packed.bytes = std::make_unique_for_overwrite<char[]>(packed.size);
            std::memcpy(packed.bytes.get(), scratch.data(), packed.size);
        }
        // The block goes back to its owner's hands (or away, when the owner dropped it meanwhile).
        job.block.reset();
        const std::lock_guard lock(mutex_);
        packed_.push_back(std::move(packed));
        ready_.store(true, std::memory_order_release);
    }
}
