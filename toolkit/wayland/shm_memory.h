// Memory that the compositor can map too: an anonymous file, sized and
// mapped here, whose descriptor goes to wl_shm.
#pragma once

#include <cstddef>

namespace fw {

class ShmMemory {
public:
    ShmMemory() = default;
    ShmMemory(const ShmMemory&) = delete;
    ShmMemory& operator=(const ShmMemory&) = delete;
    ~ShmMemory() { release(); }

    // size bytes, zeroed; false (and nothing held) when the system refuses.
    bool create(size_t size);
    void release();
    void* data() const { return data_; }
    size_t size() const { return size_; }
    int fd() const { return fd_; }

private:
    int fd_ = -1;
    void* data_ = nullptr;
    size_t size_ = 0;
};

}  // namespace fw
