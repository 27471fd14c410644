#pragma once

#include <gumbo.h>

#include <csetjmp>
#include <cstddef>
#include <memory>
#include <vector>

namespace quorvex {

// The memory of one HTML parse, held to a limit. Gumbo keeps a node of about 130 bytes for every
// element and text, so dense markup costs 25 to 60 times its size: here its allocations come
// from blocks of the arena, and a parse that would take more than the limit is abandoned at once
// and its memory released, instead of growing with whatever a page holds.
class GumboArena {
public:
    explicit GumboArena(std::size_t limitBytes);
    ~GumboArena();
    GumboArena(const GumboArena&) = delete;
    GumboArena& operator=(const GumboArena&) = delete;

    // The parse of html (UTF-8) with options, its tree living as long as the arena; nullptr when
    // it would pass the limit. One parse per arena.
    GumboOutput* parse(GumboOptions options, const char* html, std::size_t size);
    std::size_t limit() const { return limit_; }

private:
    static void* allocate(void* self, std::size_t size);
    static void release(void* self, void* block);
    void* take(std::size_t size);
    void give(void* block);
    char* carve(std::size_t bytes);

    struct Large; // an allocation too big for the blocks, with its own memory

    std::size_t limit_;
    std::size_t reserved_ = 0; // blocks and large allocations: what the process holds for it
    std::vector<std::unique_ptr<char[]>> blocks_;
    char* free_ = nullptr; // unused rest of the newest block
    std::size_t freeBytes_ = 0;
    std::vector<void*> freeLists_; // by size class
    Large* large_ = nullptr;
    std::jmp_buf overLimit_;
};

} // namespace quorvex
