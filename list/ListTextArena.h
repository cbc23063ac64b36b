#pragma once
// The texts of the list's rows, in blocks that many rows share, so that a fill allocates per
// block, not per row. A block that is full is packed (lz4) on another thread; a row's texts are
// unpacked, a block at a time, into a small cache of the blocks read last.

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <vector>

class ListRow;

class ListTextArena {
public:
    struct Block;

    static constexpr std::size_t kBlockBytes = 256 * 1024;
    // Blocks kept unpacked for reading: a screen of rows, or a walk through the rows in either
    // direction, reads one block after the other.
    static constexpr std::size_t kCachedBlocks = 4;
    // Smaller blocks are not worth a thread's time.
    static constexpr std::size_t kSmallestPacked = 4 * 1024;

    // Where a text goes: its bytes, and the block and offset a row keeps.
    struct Room {
        char* bytes = nullptr;
        const Block* block = nullptr;
        std::uint32_t offset = 0;
    };

    explicit ListTextArena(std::size_t blockBytes = kBlockBytes);
    ~ListTextArena(); // stops the packing of its blocks
    ListTextArena(ListTextArena&& other) noexcept;
    ListTextArena& operator=(ListTextArena&& other) noexcept;

    // Room for `bytes` (more than none) bytes, written before anything else is allocated or read.
    Room Allocate(std::size_t bytes);
    // The bytes of texts the blocks can hold, packed or not.
    std::size_t capacity() const;
    // The bytes the blocks take in memory now, packed or not, with the cache.
    std::size_t heldBytes() const;
    std::size_t blockCount() const;
    std::size_t packedBlockCount() const;

    // Ends the newest block, so that it is packed and the next text starts a block; returns the
    // number of blocks, the mark for DropBlocksFrom.
    std::size_t Seal();
    // Frees the blocks made since Seal returned `mark` (the texts of a fill that failed).
    void DropBlocksFrom(std::size_t mark);
    // Frees the blocks that hold no text of `rows`.
    void KeepOnlyBlocksOf(const std::vector<ListRow>& rows);
    void KeepOnlyBlocksOf(const std::deque<ListRow>& rows);
    // Copies the texts of `rows` into fresh blocks when the blocks held are mostly texts no row
    // shows any more (the earlier copies of rows that changed), and frees the old blocks.
    void CompactFor(std::vector<ListRow>& rows);
    void CompactFor(std::deque<ListRow>& rows);
    // Takes the blocks packed so far in place of their unpacked bytes.
    void Settle();
    // Waits until every full block is packed, and takes them.
    void WaitForPacking();

    // The bytes of `block`, unpacked. They stay valid until a text of another block of the same
    // arena is read, or the arena changes (Allocate, Seal, Settle, ...).
    static const char* Bytes(const Block& block);
    // Whether reading `block` costs no unpacking.
    static bool AtHand(const Block& block);

private:
    struct State;
    State& Own();
    template <typename Rows>
    void KeepOnlyBlocksOfRows(const Rows& rows);
    template <typename Rows>
    void CompactForRows(Rows& rows);

    std::size_t blockBytes_;
    std::unique_ptr<State> state_; // made at the first text; on the heap, so the blocks can find it
};
