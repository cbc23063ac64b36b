#pragma once
// Packs finished blocks of list texts with lz4 on a thread of its own, so that the thread that
// fills the list does not pay for it; the packed blocks wait until their owner collects them.
// Blocks are packed tight (lz4's high-compression mode, unpacked as fast as the other) while the
// thread keeps up with the fill, and fast when blocks queue up (a busy machine).

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

class TextBlockPacker {
public:
    // A packed block; no bytes when packing would not make it smaller.
    struct Packed {
        std::uint64_t serial = 0;
        std::unique_ptr<char[]> bytes;
        std::size_t size = 0;
    };

    TextBlockPacker() = default;
    // Drops the blocks still waiting and waits for the one being packed.
    ~TextBlockPacker();
    TextBlockPacker(const TextBlockPacker&) = delete;
    TextBlockPacker& operator=(const TextBlockPacker&) = delete;

    // Queues the first `used` bytes of `block`, which nobody changes any more; the packer holds
    // the block until it is packed. False when no thread could be started: the block stays as it is.
    bool Submit(std::uint64_t serial, std::shared_ptr<const char[]> block, std::size_t used);
    // Whether TakePacked has something to give; cheap enough for every read.
    bool HasPacked() const { return ready_.load(std::memory_order_acquire); }
    // The blocks packed since the last call.
    std::vector<Packed> TakePacked();
    // Waits until every block queued is packed.
    void WaitUntilIdle();

    // Unpacks `packed` into `out`; false unless it makes exactly `size` bytes.
    static bool Unpack(const char* packed, std::size_t packedSize, char* out, std::size_t size);

private:
    // lz4hc's lowest level: about a third smaller than the fast mode on list texts, at a few
    // tens of MB/s.
    static constexpr int kTightLevel = 3;
    static constexpr std::size_t kBehindBlocks = 8;

    struct Job {
        std::uint64_t serial = 0;
        std::shared_ptr<const char[]> block;
        std::size_t used = 0;
    };

    void Run();

    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable idle_;
    std::deque<Job> jobs_;
    std::vector<Packed> packed_;
    bool stop_ = false;
    bool busy_ = false;
    std::atomic<bool> ready_{false};
    std::thread thread_;
};
