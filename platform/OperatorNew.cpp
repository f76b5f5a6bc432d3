// The program's own global new and delete, over the C library's heap. The
// program throws nothing and is compiled without exceptions, and these keep
// the C++ runtime's versions out of it: theirs throw std::bad_alloc, which
// links the runtime's exception support and, with it, GCC 13 and later's
// win32 thread support, which imports GetThreadId (Windows Vista). Every new
// the program makes is a nothrow one, which gives null when memory runs out.
#include <cstdlib>
#include <new>

void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return std::malloc(size ? size : 1);
}

void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return std::malloc(size ? size : 1);
}

// A plain new may not give null, and cannot throw here: out of memory, the
// program ends, as the runtime's own does when nothing catches.
void* operator new(std::size_t size) {
    void* block = std::malloc(size ? size : 1);
    if (!block)
        std::abort();
    return block;
}

void* operator new[](std::size_t size) {
    return operator new(size);
}

void operator delete(void* block) noexcept {
    std::free(block);
}

void operator delete[](void* block) noexcept {
    std::free(block);
}

void operator delete(void* block, std::size_t) noexcept {
    std::free(block);
}

void operator delete[](void* block, std::size_t) noexcept {
    std::free(block);
}

void operator delete(void* block, const std::nothrow_t&) noexcept {
    std::free(block);
}

void operator delete[](void* block, const std::nothrow_t&) noexcept {
    std::free(block);
}
