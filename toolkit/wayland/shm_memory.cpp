#include "toolkit/wayland/shm_memory.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

namespace fw {

bool ShmMemory::create(size_t size)
{
    release();
    if (size == 0) return false;
    fd_ = memfd_create("frostwisp", MFD_CLOEXEC | MFD_ALLOW_SEALING);
    if (fd_ < 0) return false;
    if (ftruncate(fd_, static_cast<off_t>(size)) != 0) {
        release();
        return false;
    }
    // The compositor maps what it is given and must not see it shrink.
    fcntl(fd_, F_ADD_SEALS, F_SEAL_SHRINK | F_SEAL_SEAL);
    void* mapped = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd_, 0);
    if (mapped == MAP_FAILED) {
        release();
        return false;
    }
    data_ = mapped;
    size_ = size;
    return true;
}

void ShmMemory::release()
{
    if (data_) munmap(data_, size_);
    if (fd_ >= 0) close(fd_);
    data_ = nullptr;
    size_ = 0;
    fd_ = -1;
}

}  // namespace fw
