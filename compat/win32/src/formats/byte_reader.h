// The one bounded reader of untrusted bytes.
//
// Every binary format the layer reads (PE headers and resource directories, ELF section
// tables, version blocks, message tables, string blocks, shell links) goes through these
// types. Nothing outside this header does pointer arithmetic on input bytes: a reader
// checks each offset, length and count against what remains before it touches a byte, and
// a failure comes back as a value naming the format, the field and the offset.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <utility>
#include <variant>

namespace navo::win32 {

// Why a read failed: what was being read, and the offset in the input where it went wrong.
struct ReadError {
    std::string what;
    size_t offset = 0;
    std::string Message() const {
        char where[40];
        snprintf(where, sizeof where, " (at offset 0x%zx)", offset);
        return what + where;
    }
};

// A value or the error that prevented it.
template <typename T>
class [[nodiscard]] Expected {
public:
    Expected(T value) : state_(std::in_place_index<0>, std::move(value)) {}
    Expected(ReadError error) : state_(std::in_place_index<1>, std::move(error)) {}

    explicit operator bool() const { return state_.index() == 0; }
    T& operator*() { return std::get<0>(state_); }
    const T& operator*() const { return std::get<0>(state_); }
    T* operator->() { return &std::get<0>(state_); }
    const T* operator->() const { return &std::get<0>(state_); }
    const ReadError& error() const { return std::get<1>(state_); }

private:
    std::variant<T, ReadError> state_;
};

// What a read that yields no value gives back.
struct Done {};

// For a read that an invariant of the caller already guarantees (the range was checked a
// moment ago). A broken invariant is a bug in the layer, not bad input: it stops the
// process with the reason, rather than throwing out of a C entry point.
template <typename T>
T CantFail(Expected<T> result) {
    if (!result) {
        fprintf(stderr, "navotools: internal read failed: %s\n", result.error().Message().c_str());
        abort();
    }
    return std::move(*result);
}

// A bounded little-endian view of bytes owned elsewhere.
class ByteView {
public:
    ByteView() = default;
    ByteView(const BYTE* data, size_t size) : data_(data), size_(data ? size : 0) {}

    const BYTE* data() const { return data_; }
    size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    // True when [offset, offset + length) lies inside the view. Cannot overflow.
    bool Contains(size_t offset, size_t length) const { return offset <= size_ && length <= size_ - offset; }

    Expected<BYTE> U8(size_t offset, const char* what) const {
        if (!Contains(offset, 1)) return PastTheEnd(what, offset);
        return data_[offset];
    }
    Expected<WORD> U16(size_t offset, const char* what) const {
        if (!Contains(offset, 2)) return PastTheEnd(what, offset);
        return WORD(data_[offset] | (data_[offset + 1] << 8));
    }
    Expected<DWORD> U32(size_t offset, const char* what) const {
        if (!Contains(offset, 4)) return PastTheEnd(what, offset);
        return DWORD(data_[offset]) | (DWORD(data_[offset + 1]) << 8) | (DWORD(data_[offset + 2]) << 16) |
               (DWORD(data_[offset + 3]) << 24);
    }
    Expected<ULONGLONG> U64(size_t offset, const char* what) const {
        auto low = U32(offset, what);
        if (!low) return low.error();
        auto high = U32(offset + 4, what);
        if (!high) return PastTheEnd(what, offset);
        return ULONGLONG(*low) | (ULONGLONG(*high) << 32);
    }
    // The bytes [offset, offset + length) as a view of their own.
    Expected<ByteView> Sub(size_t offset, size_t length, const char* what) const {
        if (!Contains(offset, length)) return PastTheEnd(what, offset);
        return ByteView(data_ + offset, length);
    }
    // The bytes from offset to the end.
    Expected<ByteView> From(size_t offset, const char* what) const {
        if (offset > size_) return PastTheEnd(what, offset);
        return ByteView(data_ + offset, size_ - offset);
    }
    // Where `inner` (a view taken from this one) starts, as an offset into this view.
    size_t OffsetOf(const ByteView& inner) const { return size_t(inner.data_ - data_); }
    // The bytes before the first zero byte; all of them when there is none.
    ByteView BeforeZero() const {
        size_t n = 0;
        while (n < size_ && data_[n] != 0) ++n;
        return ByteView(data_, n);
    }
    // The UTF-16LE units before the first zero unit; all whole units when there is none
    // (an odd last byte is not a unit).
    std::u16string Utf16BeforeZero() const {
        const std::string_view bytes = Utf16LeBeforeZero();
        std::u16string text(bytes.size() / 2, u'\0');
        for (size_t i = 0; i < text.size(); ++i) text[i] = char16_t(data_[2 * i] | (data_[2 * i + 1] << 8));
        return text;
    }
    // The bytes of those units, as UTF-16LE.
    std::string_view Utf16LeBeforeZero() const {
        size_t units = 0;
        while (2 * units + 1 < size_ && (data_[2 * units] | data_[2 * units + 1]) != 0) ++units;
        return std::string_view(reinterpret_cast<const char*>(data_), 2 * units);
    }

private:
    // Out of line and marked cold, so that the reads that succeed stay small enough to be
    // inlined where they are made.
    [[gnu::cold, gnu::noinline]] static ReadError PastTheEnd(const char* what, size_t offset) {
        return ReadError{std::string(what) + ": past the end", offset};
    }

    const BYTE* data_ = nullptr;
    size_t size_ = 0;
};

// A cursor over a view. Each read moves the cursor past what it read; a failed read leaves
// the cursor where it was. Offsets in errors are counted from `base` plus the start of the
// view, so a reader of a block inside a file can report file offsets.
class ByteReader {
public:
    explicit ByteReader(ByteView bytes, size_t base = 0) : bytes_(bytes), base_(base) {}

    size_t offset() const { return offset_; }
    size_t remaining() const { return bytes_.size() - offset_; }
    bool AtEnd() const { return offset_ == bytes_.size(); }
    ByteView view() const { return bytes_; }

    Expected<BYTE> U8(const char* what) { return Advance(bytes_.U8(offset_, what), 1); }
    Expected<WORD> U16(const char* what) { return Advance(bytes_.U16(offset_, what), 2); }
    Expected<DWORD> U32(const char* what) { return Advance(bytes_.U32(offset_, what), 4); }
    Expected<ULONGLONG> U64(const char* what) { return Advance(bytes_.U64(offset_, what), 8); }
    // The next `length` bytes as a view of their own.
    Expected<ByteView> Take(size_t length, const char* what) { return Advance(bytes_.Sub(offset_, length, what), length); }
    Expected<Done> Skip(size_t length, const char* what) {
        if (!bytes_.Contains(offset_, length)) return Fail(what, "past the end");
        offset_ += length;
        return Done{};
    }
    Expected<Done> Seek(size_t offset, const char* what) {
        if (offset > bytes_.size()) return ReadError{std::string(what) + ": past the end", base_ + offset};
        offset_ = offset;
        return Done{};
    }
    // Moves to the next multiple of `alignment` (a power of two) counted from the start of
    // the view; the end of the view counts as aligned.
    Expected<Done> Align(size_t alignment, const char* what) {
        const size_t next = (offset_ + alignment - 1) & ~(alignment - 1);
        if (next < offset_) return Fail(what, "past the end");
        offset_ = next < bytes_.size() ? next : bytes_.size();
        return Done{};
    }
    // UTF-16LE units up to a zero unit, which is read but not kept. At most `maxUnits`
    // units before the terminator.
    Expected<std::u16string> Utf16z(const char* what, size_t maxUnits = size_t(-1)) {
        const BYTE* at = bytes_.data() + offset_;
        auto units = SkipUtf16z(what, maxUnits);
        if (!units) return units.error();
        std::u16string text(*units, u'\0');
        for (size_t i = 0; i < *units; ++i) text[i] = char16_t(at[2 * i] | (at[2 * i + 1] << 8));
        return text;
    }
    // The same read, without making the string: the number of units before the zero.
    Expected<size_t> SkipUtf16z(const char* what, size_t maxUnits = size_t(-1)) {
        const size_t available = remaining() / 2;
        const BYTE* at = bytes_.data() + offset_;
        size_t units = 0;
        while (units < available && (at[2 * units] | at[2 * units + 1]) != 0) {
            if (units == maxUnits) return Fail(what, "too long");
            ++units;
        }
        if (units == available) return Fail(what, "no terminator");
        offset_ += 2 * units + 2;
        return units;
    }
    // Exactly `units` UTF-16LE units.
    Expected<std::u16string> Utf16(size_t units, const char* what) {
        if (units > remaining() / 2) return Fail(what, "past the end");
        std::u16string text(units, u'\0');
        for (size_t i = 0; i < units; ++i) text[i] = char16_t(CantFail(bytes_.U16(offset_ + 2 * i, what)));
        offset_ += 2 * units;
        return text;
    }
    // An error about the field at the cursor.
    [[gnu::cold, gnu::noinline]] ReadError Fail(const char* what, const char* why) const {
        return ReadError{std::string(what) + ": " + why, base_ + offset_};
    }

private:
    template <typename T>
    Expected<T> Advance(Expected<T> read, size_t length) {
        if (!read) return ReadError{read.error().what, base_ + read.error().offset};
        offset_ += length;
        return read;
    }

    ByteView bytes_;
    size_t base_ = 0;
    size_t offset_ = 0;
};

}  // namespace navo::win32
