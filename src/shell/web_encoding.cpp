// ConvertForWeb: the narrow web escape of control bytes, blanks and plus signs.
//
// Built for throughput: one pass counts the bytes to escape, the result is sized once,
// and a second pass writes it. Both passes test eight bytes at a time; the writing pass
// copies words without an escape whole and expands the others from a table.

#include <climits>
#include <cstdint>
#include <cstring>

#include "NavoTools/Shell.h"

namespace {

constexpr uint64_t kOnes = 0x0101010101010101ull;
constexpr uint64_t kHighBits = 0x8080808080808080ull;

// The high bit of each byte lane of word set when that byte needs an escape: its value is
// 0x20 or less, or it is 0x2B. Exact per lane: no lane's arithmetic carries into the next.
uint64_t EscapeLanes(uint64_t word) {
    uint64_t low7 = word & ~kHighBits;
    // A lane is at least 0x21 when its high bit is set or its low seven bits reach 0x21.
    uint64_t atLeast21 = ((low7 + (0x80 - 0x21) * kOnes) | word) & kHighBits;
    uint64_t plus = word ^ (0x2B * kOnes);
    uint64_t isPlus = ~(((plus & ~kHighBits) + ~kHighBits) | plus) & kHighBits;
    return (~atLeast21 & kHighBits) | isPlus;
}

bool NeedsEscape(unsigned char byte) { return byte <= 0x20 || byte == 0x2B; }

uint64_t LoadWord(const unsigned char* p) {
    uint64_t word;
    memcpy(&word, p, sizeof word);
    return word;
}

// The number of lanes of EscapeLanes' result that are set. A multiplication sums the lanes
// into the top byte; std::popcount would be a library call on the baseline instruction set.
size_t CountLanes(uint64_t lanes) { return size_t(((lanes >> 7) * kOnes) >> 56); }

size_t CountEscapes(const unsigned char* in, size_t length) {
    size_t count = 0;
    size_t i = 0;
    for (; i + 8 <= length; i += 8) count += CountLanes(EscapeLanes(LoadWord(in + i)));
    for (; i < length; ++i) count += NeedsEscape(in[i]);
    return count;
}

constexpr char kHexDigits[] = "0123456789ABCDEF";

char* WriteByte(char* out, unsigned char byte) {
    if (!NeedsEscape(byte)) {
        *out = char(byte);
        return out + 1;
    }
    out[0] = '%';
    out[1] = kHexDigits[byte >> 4];
    out[2] = kHexDigits[byte & 0xF];
    return out + 3;
}

void StoreWord(char* p, uint64_t word) { memcpy(p, &word, sizeof word); }

// For each byte value, its output in the first bytes and the output's length in the last:
// "c..1" for a byte that passes, "%XX3" for one that is escaped.
struct ByteOutput {
    char bytes[4];
};

constexpr ByteOutput MakeByteOutput(unsigned value) {
    if (value <= 0x20 || value == 0x2B) return {{'%', kHexDigits[value >> 4], kHexDigits[value & 0xF], 3}};
    return {{char(value), 0, 0, 1}};
}

struct ByteOutputTable {
    ByteOutput entries[256];
};

constexpr ByteOutputTable MakeByteOutputTable() {
    ByteOutputTable table{};
    for (unsigned value = 0; value < 256; ++value) table.entries[value] = MakeByteOutput(value);
    return table;
}

constexpr ByteOutputTable kByteOutputs = MakeByteOutputTable();

// Writes the escape of in[0, length) to out, which has room for exactly the escaped size.
void WriteEscaped(const unsigned char* in, size_t length, char* out) {
    size_t i = 0;
    // Words without an escape are copied whole. In a word with escapes every byte writes
    // all four bytes of its table entry and the pointer advances by the entry's length, so
    // the loop has no branch that depends on the text; the spare bytes are overwritten by
    // what follows. Both need eight bytes of room past the pointer, which the output has
    // as long as at least sixteen input bytes remain: the output is never shorter than the
    // input still to come.
    for (; i + 16 <= length; i += 8) {
        const unsigned char* block = in + i;
        uint64_t word = LoadWord(block);
        if (!EscapeLanes(word)) {
            StoreWord(out, word);
            out += 8;
            continue;
        }
        for (size_t k = 0; k < 8; ++k) {
            const ByteOutput& entry = kByteOutputs.entries[block[k]];
            memcpy(out, entry.bytes, sizeof entry.bytes);
            out += entry.bytes[3];
        }
    }
    for (; i < length; ++i) out = WriteByte(out, in[i]);
}

}  // namespace

CString ConvertForWeb(CString text) {
    const auto* in = reinterpret_cast<const unsigned char*>(static_cast<LPCSTR>(text));
    size_t length = size_t(text.GetLength());
    size_t escapes = CountEscapes(in, length);
    if (escapes == 0) return text;  // nothing to change: the argument is the result
    // Each escape adds two bytes; a result beyond a CString's reach is a memory failure.
    if (escapes > (size_t(INT_MAX) - length) / 2) AfxThrowMemoryException();
    size_t resultLength = length + 2 * escapes;
    CString result;
    char* out = result.GetBufferSetLength(int(resultLength));
    WriteEscaped(in, length, out);
    result.ReleaseBuffer(int(resultLength));
    return result;
}
