#include "GumboArena.h"

#include <cstdlib>
#include <cstring>

namespace quorvex {

namespace {

// Every allocation starts with a header naming its size class; the caller gets what follows.
// Gumbo's structures hold nothing that needs more than 8-byte alignment.
constexpr std::size_t kHeader = 8;
constexpr std::size_t kGranule = 8;
// Sizes up to kSmall come from the blocks in classes of kGranule bytes; larger ones (a long
// child list, a text buffer) are allocated on their own and returned when gumbo frees them.
constexpr std::size_t kSmall = 1024;
constexpr std::size_t kClasses = kSmall / kGranule;
constexpr std::size_t kLargeClass = kClasses;
constexpr std::size_t kBlock = 1024 * 1024;

std::size_t& sizeClassOf(void* memory) {
    return *static_cast<std::size_t*>(memory);
}

} // namespace

struct GumboArena::Large {
    Large* previous;
    Large* next;
    std::size_t bytes;
};

GumboArena::GumboArena(std::size_t limitBytes) : limit_(limitBytes), freeLists_(kClasses) {}

GumboArena::~GumboArena() {
    while (large_) {
        Large* next = large_->next;
        std::free(large_);
        large_ = next;
    }
}

GumboOutput* GumboArena::parse(GumboOptions options, const char* html, std::size_t size) {
    options.allocator = &GumboArena::allocate;
    options.deallocator = &GumboArena::release;
    options.userdata = this;
    // Gumbo holds no state outside its own allocations, all of them the arena's: leaving the
    // parse from the allocator abandons nothing but memory that the arena releases.
    if (setjmp(overLimit_) != 0)
        return nullptr;
    return gumbo_parse_with_options(&options, html, size);
}

void* GumboArena::allocate(void* self, std::size_t size) {
    return static_cast<GumboArena*>(self)->take(size);
}

void GumboArena::release(void* self, void* block) {
    if (block)
        static_cast<GumboArena*>(self)->give(block);
}

char* GumboArena::carve(std::size_t bytes) {
    if (freeBytes_ < bytes) {
        if (reserved_ + kBlock > limit_)
            std::longjmp(overLimit_, 1);
        // Left uninitialised: the pages are only touched as they are handed out.
        blocks_.push_back(std::unique_ptr<char[]>(new char[kBlock]));
        reserved_ += kBlock;
        free_ = blocks_.back().get();
        freeBytes_ = kBlock;
    }
    char* memory = free_;
    free_ += bytes;
    freeBytes_ -= bytes;
    return memory;
}

void* GumboArena::take(std::size_t size) {
    const std::size_t needed = size + kHeader;
    if (needed <= kSmall) {
        const std::size_t sizeClass = (needed - 1) / kGranule;
        void*& head = freeLists_[sizeClass];
        char* memory;
        if (head) {
            memory = static_cast<char*>(head);
            std::memcpy(&head, memory + kHeader, sizeof head);
        } else {
            memory = carve((sizeClass + 1) * kGranule);
        }
        sizeClassOf(memory) = sizeClass;
        return memory + kHeader;
    }
    const std::size_t bytes = sizeof(Large) + needed;
    if (reserved_ + bytes > limit_)
        std::longjmp(overLimit_, 1);
    auto* large = static_cast<Large*>(std::malloc(bytes));
    if (!large)
        std::longjmp(overLimit_, 1);
    *large = Large{nullptr, large_, bytes};
    if (large_)
        large_->previous = large;
    large_ = large;
    reserved_ += bytes;
    char* memory = reinterpret_cast<char*>(large + 1);
    sizeClassOf(memory) = kLargeClass;
    return memory + kHeader;
}

void GumboArena::give(void* block) {
    char* memory = static_cast<char*>(block) - kHeader;
    const std::size_t sizeClass = sizeClassOf(memory);
    if (sizeClass < kClasses) {
        // A freed allocation keeps its class and links to the next free one after its header.
        void*& head = freeLists_[sizeClass];
        std::memcpy(memory + kHeader, &head, sizeof head);
        head = memory;
        return;
    }
    Large* large = reinterpret_cast<Large*>(memory) - 1;
    (large->previous ? large->previous->next : large_) = large->next;
    if (large->next)
        large->next->previous = large->previous;
    reserved_ -= large->bytes;
    std::free(large);
}

} // namespace quorvex
