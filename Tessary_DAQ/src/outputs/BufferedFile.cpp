#include "BufferedFile.h"

#include <cerrno>
#include <cstring>

namespace tessary {

BufferedFile::~BufferedFile() { Close(); }

void BufferedFile::SetBuffer(char* buffer, std::size_t capacity, WriteBehind* writer) {
    capacity = buffer ? capacity : 0;
    // Halves of less than a byte would leave nothing to fill.
    writer_ = writer != nullptr && writer->Running() && capacity >= 2 ? writer : nullptr;
    if (writer_) capacity /= 2;
    halves_[0] = buffer_ = buffer;
    halves_[1] = buffer ? buffer + capacity : nullptr;
    capacity_ = capacity;
    fill_ = 0;
    constexpr std::size_t kAlign = platform::kDirectWriteAlignment;
    mayWriteDirect_ = writer_ && reinterpret_cast<uintptr_t>(buffer) % kAlign == 0 && capacity % kAlign == 0;
}

static void CopyName(char (&to)[kFileNameSize], const char* name) {
    std::size_t length = std::strlen(name);
    if (length >= kFileNameSize) length = kFileNameSize - 1;
    std::memcpy(to, name, length);
    to[length] = '\0';
}

void BufferedFile::Adopt(int fd, const char* name) {
    fd_ = fd;
    CopyName(name_, name);
    given_ = 0;
    checksum_.Clear();
    offset_ = 0;
    slot_.direct = mayWriteDirect_ && platform::WritesDirect(fd);
}

bool BufferedFile::Create(const char* name) {
    Close();
    const int fd = platform::CreateOutputFile(name, mayWriteDirect_);
    Adopt(fd, name);
    return fd >= 0;
}

BufferedFile::Switch BufferedFile::SwitchTo(const char* name) {
    const int fd = platform::CreateOutputFile(name, mayWriteDirect_);
    if (fd < 0) return Switch::NotCreated;
    const bool whole = Close();
    Adopt(fd, name);
    return whole ? Switch::Done : Switch::PreviousIncomplete;
}

bool BufferedFile::Failed() {
    FailIfWriteBehindFailed();
    return failed_;
}

bool BufferedFile::FailureToReport() {
    if (!Failed() || reported_) return false;
    reported_ = true;
    return true;
}

bool BufferedFile::Fail() {
    if (!failed_) error_ = errno;
    failed_ = true;
    fill_ = 0;
    return false;
}

// A failed write behind makes the file fail here, on the owner's thread,
// with the write's error; false then.
bool BufferedFile::FailIfWriteBehindFailed() {
    if (failed_ || writer_ == nullptr) return !failed_;
    const int error = slot_.error.load(std::memory_order_acquire);
    if (error == 0) return true;
    errno = error;
    return Fail();
}

// The filled half goes to the writer once the other one is written; the
// owner goes on in that one. A file that writes direct hands over whole
// blocks only, unless `all`: the part block at the end is then written
// through the cache as well. Either way the part block starts the other
// half, to go out again, direct, with what follows it.
bool BufferedFile::HandOver(bool all) {
    writer_->Wait(slot_);
    if (!FailIfWriteBehindFailed()) return false;
    const std::size_t blocks = slot_.direct ? fill_ - fill_ % platform::kDirectWriteAlignment : fill_;
    const std::size_t bytes = all ? fill_ : blocks;
    if (bytes == 0) return true;
    writer_->Submit(slot_, {fd_, buffer_, bytes, offset_, blocks});
    char* other = buffer_ == halves_[0] ? halves_[1] : halves_[0];
    std::memcpy(other, buffer_ + blocks, fill_ - blocks);
    buffer_ = other;
    fill_ -= blocks;
    offset_ += blocks;
    return true;
}

bool BufferedFile::Append(const void* data, std::size_t bytes) {
    if (!FailIfWriteBehindFailed() || fd_ < 0) return false;
    if (bytes == 0) return true;
    checksum_.Add(data, bytes);
    given_ += bytes;
    if (bytes <= capacity_ - fill_) {
        std::memcpy(buffer_ + fill_, data, bytes);
        fill_ += bytes;
        return true;
    }
    if (writer_) {
        // Through the halves: the caller may reuse its bytes once this returns.
        for (auto* from = static_cast<const char*>(data); bytes > 0;) {
            if (fill_ == capacity_ && !HandOver(false)) return false;
            const std::size_t part = bytes < capacity_ - fill_ ? bytes : capacity_ - fill_;
            std::memcpy(buffer_ + fill_, from, part);
            fill_ += part;
            from += part;
            bytes -= part;
        }
        return true;
    }
    // Does not fit: the buffered bytes and these leave together, uncopied.
    if (!platform::WriteFully(fd_, buffer_, fill_, data, bytes)) return Fail();
    fill_ = 0;
    return true;
}

char* BufferedFile::Reserve(std::size_t bytes) {
    if (failed_ || fd_ < 0 || bytes > capacity_) return nullptr;
    if (bytes > capacity_ - fill_ && !(writer_ ? HandOver(false) : Flush())) return nullptr;
    if (bytes > capacity_ - fill_) {
        // The part block kept for a direct write leaves too little room: the
        // file goes on through the cache, which keeps no part block.
        writer_->Wait(slot_);
        if (platform::SetWritesDirect(fd_, false)) slot_.direct = false;
        if (slot_.direct || !HandOver(true)) return nullptr;
    }
    return buffer_ + fill_;
}

bool BufferedFile::Flush() {
    if (!FailIfWriteBehindFailed() || fd_ < 0) return false;
    if (writer_) return HandOver(true);
    if (fill_ > 0 && !platform::WriteFully(fd_, buffer_, fill_, nullptr, 0)) return Fail();
    fill_ = 0;
    return true;
}

bool BufferedFile::Close() {
    if (fd_ < 0) {
        failed_ = reported_ = false;
        return true;
    }
    bool whole = Flush();
    if (writer_) {
        // The descriptor stays open until the last write behind is done.
        writer_->Wait(slot_);
        whole = FailIfWriteBehindFailed() && whole;
        slot_.error.store(0, std::memory_order_relaxed);
        buffer_ = halves_[0];
    }
    if (!platform::CloseOutputFile(fd_) && whole) {
        Fail();
        whole = false;
    }
    fd_ = -1;
    fill_ = 0;
    failed_ = reported_ = false;
    return whole;
}

bool BufferedFile::Status(platform::OpenFileStatus& status) const {
    return fd_ >= 0 && platform::QueryOpenFile(fd_, status);
}

}  // namespace tessary
