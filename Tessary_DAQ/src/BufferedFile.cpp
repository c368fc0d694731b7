#include "BufferedFile.h"

#include <cerrno>
#include <cstring>

namespace tessary {

BufferedFile::~BufferedFile() { Close(); }

void BufferedFile::SetBuffer(char* buffer, std::size_t capacity) {
    buffer_ = buffer;
    capacity_ = buffer ? capacity : 0;
    fill_ = 0;
}

static void CopyName(char (&to)[kFileNameSize], const char* name) {
    std::size_t length = std::strlen(name);
    if (length >= kFileNameSize) length = kFileNameSize - 1;
    std::memcpy(to, name, length);
    to[length] = '\0';
}

bool BufferedFile::Create(const char* name) {
    Close();
    CopyName(name_, name);
    given_ = 0;
    checksum_.Clear();
    fd_ = platform::CreateOutputFile(name);
    return fd_ >= 0;
}

BufferedFile::Switch BufferedFile::SwitchTo(const char* name) {
    const int fd = platform::CreateOutputFile(name);
    if (fd < 0) return Switch::NotCreated;
    const bool whole = Close();
    fd_ = fd;
    CopyName(name_, name);
    given_ = 0;
    checksum_.Clear();
    return whole ? Switch::Done : Switch::PreviousIncomplete;
}

bool BufferedFile::FailureToReport() {
    if (!failed_ || reported_) return false;
    reported_ = true;
    return true;
}

bool BufferedFile::Fail() {
    if (!failed_) error_ = errno;
    failed_ = true;
    fill_ = 0;
    return false;
}

bool BufferedFile::Append(const void* data, std::size_t bytes) {
    if (failed_ || fd_ < 0) return false;
    if (bytes == 0) return true;
    checksum_.Add(data, bytes);
    given_ += bytes;
    if (bytes <= capacity_ - fill_) {
        std::memcpy(buffer_ + fill_, data, bytes);
        fill_ += bytes;
        return true;
    }
    // Does not fit: the buffered bytes and these leave together, uncopied.
    if (!platform::WriteFully(fd_, buffer_, fill_, data, bytes)) return Fail();
    fill_ = 0;
    return true;
}

char* BufferedFile::Reserve(std::size_t bytes) {
    if (failed_ || fd_ < 0 || bytes > capacity_) return nullptr;
    if (bytes > capacity_ - fill_ && !Flush()) return nullptr;
    return buffer_ + fill_;
}

bool BufferedFile::Flush() {
    if (failed_ || fd_ < 0) return false;
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
