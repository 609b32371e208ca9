// Reading one entry of a jar: the end record (also its ZIP64 form), the central directory
// walk and the entry's local header; inflating a deflated entry is left to zlib (inflate.h).
#include "archive/jar_file.h"

#include <cstring>
#include <initializer_list>
#include <vector>

#include "archive/inflate.h"

namespace {

constexpr uint32_t kEndRecordSize = 22;
constexpr uint32_t kLongestComment = 0xFFFF;
constexpr uint64_t kLargestEntry = 64u << 20;
constexpr uint64_t kLargestDirectory = 256u << 20;

uint32_t le16(const unsigned char* p) { return p[0] | (p[1] << 8); }
uint32_t le32(const unsigned char* p) { return le16(p) | (static_cast<uint32_t>(le16(p + 2)) << 16); }
uint64_t le64(const unsigned char* p) { return le32(p) | (static_cast<uint64_t>(le32(p + 4)) << 32); }

struct Reader {
    FileReadAt readAt;
    const char* path;
    uint64_t fileSize;

    // Exactly `size` bytes at `offset`, or false (CannotOpen when the file itself failed).
    bool read(uint64_t offset, size_t size, std::vector<unsigned char>* out) {
        out->resize(size);
        uint32_t got = 0;
        if (!readAt(path, offset, out->data(), static_cast<uint32_t>(size), &got, &fileSize)) return false;
        return got == size;
    }
};

bool sameName(const unsigned char* stored, size_t length, const char* name, bool ignoreCase) {
    if (length != strlen(name)) return false;
    for (size_t i = 0; i < length; ++i) {
        unsigned char a = stored[i], b = static_cast<unsigned char>(name[i]);
        if (ignoreCase && a >= 'A' && a <= 'Z') a = static_cast<unsigned char>(a + 32);
        if (ignoreCase && b >= 'A' && b <= 'Z') b = static_cast<unsigned char>(b + 32);
        if (a != b) return false;
    }
    return true;
}

// The ZIP64 extended information of a directory entry replaces the fields that hold all ones.
bool applyZip64Extra(const unsigned char* extra, size_t length, uint64_t* uncompressed, uint64_t* compressed,
                     uint64_t* localOffset) {
    for (size_t at = 0; at + 4 <= length;) {
        uint32_t id = le16(extra + at), size = le16(extra + at + 2);
        if (at + 4 + size > length) return false;
        if (id == 1) {
            const unsigned char* p = extra + at + 4;
            size_t left = size;
            for (uint64_t* field : {uncompressed, compressed, localOffset}) {
                if (*field != 0xFFFFFFFFu) continue;
                if (left < 8) return false;
                *field = le64(p);
                p += 8;
                left -= 8;
            }
            return true;
        }
        at += 4 + size;
    }
    return *uncompressed != 0xFFFFFFFFu && *compressed != 0xFFFFFFFFu && *localOffset != 0xFFFFFFFFu;
}

}  // namespace

JarEntryRead readJarEntry(FileReadAt readAt, const char* path, const char* name, bool ignoreCase, std::string* data,
                          bool verifyChecksum) {
    Reader file{readAt, path, 0};
    std::vector<unsigned char> tail;
    // The size first, from a read of nothing.
    if (!file.read(0, 0, &tail)) return JarEntryRead::CannotOpen;
    if (file.fileSize < kEndRecordSize) return JarEntryRead::Damaged;
    uint64_t tailStart =
        file.fileSize > kEndRecordSize + kLongestComment ? file.fileSize - kEndRecordSize - kLongestComment : 0;
    if (!file.read(tailStart, static_cast<size_t>(file.fileSize - tailStart), &tail)) return JarEntryRead::Damaged;

    // The end record: the last signature whose comment reaches exactly to the end of the file.
    size_t end = tail.size() - kEndRecordSize + 1;
    bool found = false;
    while (end-- > 0) {
        const unsigned char* p = tail.data() + end;
        if (le32(p) == 0x06054b50 && end + kEndRecordSize + le16(p + 20) == tail.size()) {
            found = true;
            break;
        }
    }
    if (!found) return JarEntryRead::Damaged;
    const unsigned char* record = tail.data() + end;
    uint64_t endPosition = tailStart + end;
    uint64_t count = le16(record + 10), directorySize = le32(record + 12), directoryOffset = le32(record + 16);
    uint64_t directoryEnd = endPosition;
    if (count == 0xFFFF || directorySize == 0xFFFFFFFFu || directoryOffset == 0xFFFFFFFFu) {
        // ZIP64: a locator just before the end record points at the larger end record.
        std::vector<unsigned char> locator, big;
        if (endPosition < 20 || !file.read(endPosition - 20, 20, &locator) || le32(locator.data()) != 0x07064b50)
            return JarEntryRead::Damaged;
        // Bytes in front of the archive move it: then it is found right before the locator.
        uint64_t bigOffset = le64(locator.data() + 8);
        if (bigOffset >= endPosition || !file.read(bigOffset, 56, &big) || le32(big.data()) != 0x06064b50) {
            bigOffset = endPosition - 20 - 56;
            if (endPosition < 76 || !file.read(bigOffset, 56, &big) || le32(big.data()) != 0x06064b50)
                return JarEntryRead::Damaged;
        }
        count = le64(big.data() + 32);
        directorySize = le64(big.data() + 40);
        directoryOffset = le64(big.data() + 48);
        directoryEnd = bigOffset;
    }
    // Bytes before the archive (a script in front of it) move every offset by the same amount.
    if (directorySize > directoryEnd || directorySize > kLargestDirectory ||
        directoryOffset > directoryEnd - directorySize)
        return JarEntryRead::Damaged;
    uint64_t shift = directoryEnd - directorySize - directoryOffset;
    std::vector<unsigned char> directory;
    if (!file.read(directoryOffset + shift, static_cast<size_t>(directorySize), &directory))
        return JarEntryRead::Damaged;

    const unsigned char* match = nullptr;
    for (int pass = ignoreCase ? 2 : 1, exact = 1; pass > 0 && !match; --pass, exact = 0) {
        size_t at = 0;
        for (uint64_t i = 0; i < count; ++i) {
            if (at + 46 > directory.size() || le32(directory.data() + at) != 0x02014b50) return JarEntryRead::Damaged;
            const unsigned char* entry = directory.data() + at;
            size_t nameLength = le16(entry + 28), total = 46 + nameLength + le16(entry + 30) + le16(entry + 32);
            if (at + total > directory.size()) return JarEntryRead::Damaged;
            // The last entry of a name is the one, as the runtime's own reader finds it.
            if (sameName(entry + 46, nameLength, name, !exact)) match = entry;
            at += total;
        }
    }
    if (!match) return JarEntryRead::Missing;

    uint32_t flags = le16(match + 8), method = le16(match + 10);
    uint64_t compressed = le32(match + 20), uncompressed = le32(match + 24), localOffset = le32(match + 42);
    if (!applyZip64Extra(match + 46 + le16(match + 28), le16(match + 30), &uncompressed, &compressed, &localOffset))
        return JarEntryRead::Damaged;
    if ((flags & 1) != 0 || (method != 0 && method != 8) || uncompressed > kLargestEntry ||
        compressed > kLargestEntry || (method == 0 && compressed != uncompressed))
        return JarEntryRead::Damaged;
    std::vector<unsigned char> local, stored;
    if (!file.read(localOffset + shift, 30, &local) || le32(local.data()) != 0x04034b50) return JarEntryRead::Damaged;
    uint64_t dataOffset = localOffset + shift + 30 + le16(local.data() + 26) + le16(local.data() + 28);
    if (!file.read(dataOffset, static_cast<size_t>(compressed), &stored)) return JarEntryRead::Damaged;
    std::vector<unsigned char> plain(static_cast<size_t>(uncompressed));
    if (method == 0) plain.swap(stored);
    else if (!inflateRawData(stored.data(), stored.size(), plain.data(), plain.size())) return JarEntryRead::Damaged;
    if (verifyChecksum && crc32Of(plain.data(), plain.size()) != le32(match + 16)) return JarEntryRead::Damaged;
    data->assign(plain.begin(), plain.end());
    return JarEntryRead::Found;
}
