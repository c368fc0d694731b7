#include "BufferedFile.h"

#include <algorithm>
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
    flushedGiven_ = 0;
    checksum_.Clear();
    offset_ = 0;
    marks_[0] = {0, checksum_.Value()};
    markCount_ = 1;
    spacing_ = 0;
    confirmed_ = 0;
    cut_ = false;
    cutError_ = 0;
    slot_.direct = mayWriteDirect_ && platform::WritesDirect(fd);
}

bool BufferedFile::Create(const char* name) {
    Close();
    const int fd = platform::CreateOutputFile(name, mayWriteDirect_);
    Adopt(fd, name);
    return fd >= 0;
}

BufferedFile::Switch BufferedFile::SwitchTo(const char* name, Closed* closed) {
    const int fd = platform::CreateOutputFile(name, mayWriteDirect_);
    if (fd < 0) return Switch::NotCreated;
    const bool whole = Close();
    if (closed) *closed = {BytesGiven(), Checksum(), cutError_};
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
    const bool first = !failed_;
    if (first) error_ = errno;
    failed_ = true;
    fill_ = 0;
    if (first) CutBack();
    return false;
}

// Once the failure is known, on the owner's thread: with no write in
// flight the size on disk is final, and the file holds the bytes given up
// to it (writes go out in order, and a part block written through the cache
// holds the same bytes as the direct write that follows it). The last mark
// within that is where the file ends.
void BufferedFile::CutBack() {
    if (fd_ < 0 || markCount_ == 0) return;
    if (writer_) writer_->Wait(slot_);
    platform::OpenFileStatus status;
    const bool known = platform::QueryOpenFile(fd_, status);
    uint64_t reached = known ? status.bytes : confirmed_;
    if (reached > given_) reached = given_;
    int last = markCount_ - 1;
    while (last > 0 && marks_[last].bytes > reached) --last;
    const Mark kept = marks_[last];
    if (kept.bytes > reached) {
        cutError_ = EIO;  // shortened by someone else: a cut would only add zeros
    } else if (!(known && status.bytes == kept.bytes) && !platform::CutOutputFile(fd_, kept.bytes)) {
        cutError_ = errno;
    }
    given_ = kept.bytes;
    keptChecksum_ = kept.checksum;
    cut_ = true;
    marks_[0] = kept;
    markCount_ = 1;
}

void BufferedFile::MarkWhole() {
    if (fd_ < 0 || failed_ || markCount_ == 0 || marks_[markCount_ - 1].bytes == given_) return;
    const Mark mark{given_, checksum_.Value()};
    // The latest mark is always kept; the one before it only when it lies
    // far enough from its own predecessor.
    if (markCount_ >= 2 && marks_[markCount_ - 1].bytes - marks_[markCount_ - 2].bytes < spacing_) {
        marks_[markCount_ - 1] = mark;
        return;
    }
    if (markCount_ == kMarks) ThinMarks();
    marks_[markCount_++] = mark;
}

void BufferedFile::ThinMarks() {
    // Of the marks on the disk only the last can still be wanted.
    int first = 0;
    while (first + 1 < markCount_ && marks_[first + 1].bytes <= confirmed_) ++first;
    if (first > 0) {
        std::copy(marks_ + first, marks_ + markCount_, marks_);
        markCount_ -= first;
    }
    // Still full (many small transfers in the buffers): the marks are kept
    // twice as far apart as before, all along, the first and the last stay.
    while (markCount_ == kMarks) {
        spacing_ = spacing_ == 0 ? platform::kDirectWriteAlignment : 2 * spacing_;
        int kept = 1;
        for (int i = 1; i < markCount_; ++i)
            if (i == markCount_ - 1 || marks_[i].bytes - marks_[kept - 1].bytes >= spacing_) marks_[kept++] = marks_[i];
        markCount_ = kept;
    }
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
    confirmed_ = offset_;  // every write before this buffer is done
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
    confirmed_ = given_;
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
        if (slot_.direct) {
            Fail();
            return nullptr;
        }
        if (!HandOver(true)) return nullptr;
    }
    return buffer_ + fill_;
}

bool BufferedFile::Flush() {
    if (!FailIfWriteBehindFailed() || fd_ < 0) return false;
    if (writer_) {
        // A part block kept for the next direct write is on the file already
        // when nothing came since: an idle file is not written again.
        if (given_ == flushedGiven_) return true;
        if (!HandOver(true)) return false;
        flushedGiven_ = given_;
        return true;
    }
    if (fill_ > 0 && !platform::WriteFully(fd_, buffer_, fill_, nullptr, 0)) return Fail();
    fill_ = 0;
    confirmed_ = given_;
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
    const int fd = fd_;
    fd_ = -1;  // a failure the close reveals cannot be cut back
    if (!platform::CloseOutputFile(fd) && whole) {
        Fail();
        whole = false;
    }
    fill_ = 0;
    failed_ = reported_ = false;
    return whole;
}

bool BufferedFile::Status(platform::OpenFileStatus& status) const {
    return fd_ >= 0 && platform::QueryOpenFile(fd_, status);
}

}  // namespace tessary
