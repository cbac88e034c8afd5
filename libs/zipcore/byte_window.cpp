#include "byte_window.h"

#include <cstring>

namespace kelp::zip {

void ByteWindow::Load(uint64_t start, size_t size) {
    start_ = start;
    bytes_.resize(size);
    if (!reader_.ReadAt(start, bytes_.data(), size)) bytes_.clear();
}

bool ByteWindow::ReadAt(uint64_t offset, void* buffer, size_t size) const {
    if (offset >= start_ && offset - start_ <= bytes_.size() &&
        size <= bytes_.size() - (offset - start_)) {
        std::memcpy(buffer, bytes_.data() + (offset - start_), size);
        return true;
    }
    return reader_.ReadAt(offset, buffer, size);
}

}  // namespace kelp::zip
