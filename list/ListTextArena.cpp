// The blocks of the list's texts: allocation, packing, and the cache they are read through.

#include "list/ListTextArena.h"

#include "base/Check.h"
#include "list/ListRow.h"
#include "list/TextBlockPacker.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <utility>

struct ListTextArena::Block {
    State* owner = nullptr;
    std::uint64_t serial = 0; // rising in the order the blocks were made
    std::size_t size = 0;     // the room it has
    std::size_t used = 0;     // the bytes given out
    // Until it is packed; shared with the packer while it packs it.
    std::shared_ptr<char[]> raw;
    std::unique_ptr<char[]> packed;
    std::size_t packedSize = 0;
    mutable bool marked = false; // KeepOnlyBlocksOf
};

struct ListTextArena::State {
    struct CacheEntry {
        std::uint64_t serial = 0; // 0: empty
        std::unique_ptr<char[]> bytes;
        std::size_t room = 0;
        std::uint64_t lastUse = 0;
    };

    explicit State(std::size_t blockBytes) : blockBytes(blockBytes) { }

    void Submit(Block*& block)
    {
        if (block != nullptr && block->used >= kSmallestPacked)
            packer.Submit(block->serial, block->raw, block->used);
        block = nullptr;
    }

    Block& Make(std::size_t size)
    {
        auto made = std::make_unique<Block>();
        made->owner = this;
        made->serial = nextSerial++;
        made->size = size;
        made->raw = std::make_shared_for_overwrite<char[]>(size);
        capacity += size;
        blocks.push_back(std::move(made));
        return *blocks.back();
    }

    void Settle()
    {
        if (!packer.HasPacked())
            return;
        for (TextBlockPacker::Packed& done : packer.TakePacked()) {
            const auto found =
                std::lower_bound(blocks.begin(), blocks.end(), done.serial,
                                 [](const auto& block, std::uint64_t serial) { return block->serial < serial; });
            // A block dropped while it was packed has no place to go.
            if (found == blocks.end() || (*found)->serial != done.serial || done.bytes == nullptr)
                continue;
            Block& block = **found;
            block.packed = std::move(done.bytes);
            block.packedSize = done.size;
            block.raw.reset();
        }
    }

    const char* Bytes(const Block& block)
    {
        if (block.raw)
            return block.raw.get();
        ++clock;
        for (CacheEntry& entry : cache) {
            if (entry.serial == block.serial) {
                entry.lastUse = clock;
                return entry.bytes.get();
            }
        }
        // A miss: no view into another block need stay valid, so this is a good time to free
        // what has been packed meanwhile.
        Settle();
        CacheEntry& entry = *std::min_element(
            cache.begin(), cache.end(), [](const CacheEntry& a, const CacheEntry& b) { return a.lastUse < b.lastUse; });
        // A block made for one long text may be larger than the others; its room does not stay.
        const std::size_t room = std::max(block.used, blockBytes);
        if (entry.room < block.used || entry.room > room) {
            entry.serial = 0;
            entry.bytes = std::make_unique_for_overwrite<char[]>(room);
            entry.room = room;
        }
        const bool unpacked =
            TextBlockPacker::Unpack(block.packed.get(), block.packedSize, entry.bytes.get(), block.used);
        check::invariant(unpacked, "a packed block of list texts does not unpack");
        entry.serial = block.serial;
        entry.lastUse = clock;
        return entry.bytes.get();
    }

    bool AtHand(const Block& block) const
    {
        return block.raw || std::any_of(cache.begin(), cache.end(), [&](const CacheEntry& entry) {
                   return entry.serial == block.serial;
               });
    }

    void Recount()
    {
        capacity = 0;
        for (const auto& block : blocks)
            capacity += block->size;
    }

    std::size_t blockBytes;
    std::vector<std::unique_ptr<Block>> blocks; // in the order they were made
    Block* current = nullptr;                   // the block that takes new texts
    Block* lone = nullptr;                      // made for one text longer than a block, packed once it is written
    std::uint64_t nextSerial = 1;
    std::size_t capacity = 0;
    std::array<CacheEntry, kCachedBlocks> cache;
    std::uint64_t clock = 0;
    // Last, so that it stops before the blocks go.
    TextBlockPacker packer;
};

ListTextArena::ListTextArena(std::size_t blockBytes) : blockBytes_(blockBytes)
{
}

ListTextArena::~ListTextArena() = default;
ListTextArena::ListTextArena(ListTextArena&& other) noexcept = default;
ListTextArena& ListTextArena::operator=(ListTextArena&& other) noexcept = default;

ListTextArena::State& ListTextArena::Own()
{
    if (!state_)
        state_ = std::make_unique<State>(blockBytes_);
    return *state_;
}

ListTextArena::Room ListTextArena::Allocate(std::size_t bytes)
{
    check::precondition(bytes > 0 && bytes <= UINT32_MAX, "list texts of a row take 1 to 4 GB less one bytes");
    State& state = Own();
    state.Submit(state.lone);
    state.Settle();
    // A text longer than a block gets one of its own, and the current block stays open.
    if (bytes > blockBytes_) {
        Block& block = state.Make(bytes);
        block.used = bytes;
        state.lone = &block;
        return {block.raw.get(), &block, 0};
    }
    if (state.current == nullptr || bytes > state.current->size - state.current->used) {
        state.Submit(state.current);
        state.current = &state.Make(blockBytes_);
    }
    Block& block = *state.current;
    const Room room{block.raw.get() + block.used, &block, static_cast<std::uint32_t>(block.used)};
    block.used += bytes;
    return room;
}

std::size_t ListTextArena::capacity() const
{
    return state_ ? state_->capacity : 0;
}

std::size_t ListTextArena::heldBytes() const
{
    if (!state_)
        return 0;
    std::size_t held = 0;
    for (const auto& block : state_->blocks)
        held += block->raw ? block->size : block->packedSize;
    for (const State::CacheEntry& entry : state_->cache)
        held += entry.room;
    return held;
}

std::size_t ListTextArena::blockCount() const
{
    return state_ ? state_->blocks.size() : 0;
}

std::size_t ListTextArena::packedBlockCount() const
{
    if (!state_)
        return 0;
    return static_cast<std::size_t>(
        std::count_if(state_->blocks.begin(), state_->blocks.end(), [](const auto& block) { return !block->raw; }));
}

std::size_t ListTextArena::Seal()
{
    if (!state_)
        return 0;
    state_->Submit(state_->current);
    state_->Submit(state_->lone);
    state_->Settle();
    return state_->blocks.size();
}

void ListTextArena::DropBlocksFrom(std::size_t mark)
{
    if (!state_ || state_->blocks.size() <= mark)
        return;
    State& state = *state_;
    for (Block** open : {&state.current, &state.lone}) {
        if (*open != nullptr && (*open)->serial >= state.blocks[mark]->serial)
            *open = nullptr;
    }
    state.blocks.resize(mark);
    state.Recount();
}

void ListTextArena::KeepOnlyBlocksOf(const std::vector<ListRow>& rows)
{
    KeepOnlyBlocksOfRows(rows);
}

void ListTextArena::KeepOnlyBlocksOf(const std::deque<ListRow>& rows)
{
    KeepOnlyBlocksOfRows(rows);
}

template <typename Rows>
void ListTextArena::KeepOnlyBlocksOfRows(const Rows& rows)
{
    if (!state_)
        return;
    State& state = *state_;
    for (const ListRow& row : rows) {
        if (row.block_ != nullptr)
            row.block_->marked = true;
    }
    for (Block** open : {&state.current, &state.lone}) {
        if (*open != nullptr && !(*open)->marked)
            *open = nullptr;
    }
    std::erase_if(state.blocks, [](const std::unique_ptr<Block>& block) { return !block->marked; });
    for (const auto& block : state.blocks)
        block->marked = false;
    state.Recount();
}

void ListTextArena::CompactFor(std::vector<ListRow>& rows)
{
    CompactForRows(rows);
}

void ListTextArena::CompactFor(std::deque<ListRow>& rows)
{
    CompactForRows(rows);
}

template <typename Rows>
void ListTextArena::CompactForRows(Rows& rows)
{
    std::size_t live = 0;
    for (const ListRow& row : rows)
        live += row.textBytes();
    if (capacity() <= 2 * live + 2 * blockBytes_)
        return;
    ListTextArena fresh(blockBytes_);
    for (ListRow& row : rows) {
        if (row.block_ == nullptr)
            continue;
        const Room room = fresh.Allocate(row.textBytes());
        std::memcpy(room.bytes, Bytes(*row.block_) + row.offset_, row.textBytes());
        row.block_ = room.block;
        row.offset_ = room.offset;
    }
    *this = std::move(fresh);
}

void ListTextArena::Settle()
{
    if (state_)
        state_->Settle();
}

void ListTextArena::WaitForPacking()
{
    if (!state_)
        return;
    state_->packer.WaitUntilIdle();
    state_->Settle();
}

const char* ListTextArena::Bytes(const Block& block)
{
    return block.owner->Bytes(block);
}

bool ListTextArena::AtHand(const Block& block)
{
    return block.owner->AtHand(block);
}
