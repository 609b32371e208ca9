// VS_VERSIONINFO reading and writing. Each node: 16-bit length, value length, type,
// zero-terminated UTF-16 key, padding to 4 bytes, the value, padding, the children.
#include "version_info.h"

#include <algorithm>

const char* const kVersionStringKeys[] = {
#define VARNLET_VERSION_KEY(key, defaultValue) #key,
#include "pack_rules.def"
};
const size_t kVersionStringKeyCount = sizeof kVersionStringKeys / sizeof kVersionStringKeys[0];

namespace {

constexpr uint32_t kFixedSignature = 0xFEEF04BD;

struct NodeView {
    size_t start, end;  // the node's bytes
    std::u16string key;
    size_t value;  // offset of the value
    size_t valueLength;  // as stored (words for text, bytes otherwise)
    uint16_t type;
    size_t children;  // offset of the first child
};

bool readNode(const Bytes& d, size_t at, size_t limit, NodeView* node) {
    if (!fits(limit, at, 6)) return false;
    size_t length = rd16(&d[at]);
    if (length < 6 || !fits(limit, at, length)) return false;
    node->start = at;
    node->end = at + length;
    node->valueLength = rd16(&d[at + 2]);
    node->type = rd16(&d[at + 4]);
    node->key.clear();
    size_t pos = at + 6;
    for (;;) {
        if (pos + 2 > node->end) return false;
        char16_t c = static_cast<char16_t>(rd16(&d[pos]));
        pos += 2;
        if (c == 0) break;
        node->key.push_back(c);
    }
    node->value = std::min<size_t>(static_cast<size_t>(alignUp(pos, 4)), node->end);
    size_t valueBytes = node->type == 1 ? 2 * node->valueLength : node->valueLength;
    node->children = std::min<size_t>(
        static_cast<size_t>(alignUp(node->value + std::min(valueBytes, node->end - node->value), 4)), node->end);
    return true;
}

std::u16string readText(const Bytes& d, size_t from, size_t end) {
    std::u16string s;
    for (size_t p = from; p + 2 <= end; p += 2) {
        char16_t c = static_cast<char16_t>(rd16(&d[p]));
        if (c == 0) break;
        s.push_back(c);
    }
    return s;
}

// Writes a node: header, key and value, then the children appended by `body`.
template <typename Body>
void writeNode(Bytes& out, const std::u16string& key, uint16_t type, const Bytes& value, uint16_t valueLength,
               Body body) {
    padTo(out, 4);
    size_t start = out.size();
    put16(out, 0);
    put16(out, valueLength);
    put16(out, type);
    putUtf16(out, key);
    put16(out, 0);
    padTo(out, 4);
    out.insert(out.end(), value.begin(), value.end());
    body();
    wr16(out.data() + start, static_cast<uint32_t>(out.size() - start));
}

}  // namespace

bool parseVersionInfo(const Bytes& d, VersionInfo* info, std::string* error) {
    *info = VersionInfo{};
    info->translations.clear();
    NodeView root;
    if (!readNode(d, 0, d.size(), &root) || root.key != u"VS_VERSION_INFO") {
        *error = "malformed version information";
        return false;
    }
    if (root.valueLength >= 52 && fits(root.end, root.value, 52) && rd32(&d[root.value]) == kFixedSignature) {
        const uint8_t* f = &d[root.value];
        uint32_t fms = rd32(f + 8), fls = rd32(f + 12), pms = rd32(f + 16), pls = rd32(f + 20);
        uint16_t fv[4] = {uint16_t(fms >> 16), uint16_t(fms), uint16_t(fls >> 16), uint16_t(fls)};
        uint16_t pv[4] = {uint16_t(pms >> 16), uint16_t(pms), uint16_t(pls >> 16), uint16_t(pls)};
        for (int i = 0; i < 4; ++i) {
            info->fileVersion[i] = fv[i];
            info->productVersion[i] = pv[i];
        }
        info->fileFlagsMask = rd32(f + 24);
        info->fileFlags = rd32(f + 28);
        info->fileOs = rd32(f + 32);
        info->fileType = rd32(f + 36);
        info->fileSubtype = rd32(f + 40);
        info->dateHigh = rd32(f + 44);
        info->dateLow = rd32(f + 48);
    }
    bool tableSeen = false;
    for (size_t at = root.children; at < root.end;) {
        NodeView block;
        if (!readNode(d, at, root.end, &block)) break;
        if (block.key == u"StringFileInfo") {
            for (size_t t = block.children; t < block.end;) {
                NodeView table;
                if (!readNode(d, t, block.end, &table)) break;
                if (!tableSeen) {  // the first table is the one shown and rewritten
                    tableSeen = true;
                    info->tableKey = table.key;
                    for (size_t s = table.children; s < table.end;) {
                        NodeView str;
                        if (!readNode(d, s, table.end, &str)) break;
                        info->strings.emplace_back(str.key, readText(d, str.value, str.end));
                        s = alignUp(str.end, 4);
                    }
                }
                t = alignUp(table.end, 4);
            }
        } else if (block.key == u"VarFileInfo") {
            for (size_t v = block.children; v < block.end;) {
                NodeView var;
                if (!readNode(d, v, block.end, &var)) break;
                if (var.key == u"Translation")
                    for (size_t p = var.value; p + 4 <= var.value + var.valueLength && p + 4 <= var.end; p += 4)
                        info->translations.push_back(rd32(&d[p]));
                v = alignUp(var.end, 4);
            }
        }
        at = alignUp(block.end, 4);
    }
    return true;
}

Bytes buildVersionInfo(const VersionInfo& info) {
    Bytes fixed;
    put32(fixed, kFixedSignature);
    put32(fixed, 0x00010000);
    put32(fixed, (uint32_t(info.fileVersion[0]) << 16) | info.fileVersion[1]);
    put32(fixed, (uint32_t(info.fileVersion[2]) << 16) | info.fileVersion[3]);
    put32(fixed, (uint32_t(info.productVersion[0]) << 16) | info.productVersion[1]);
    put32(fixed, (uint32_t(info.productVersion[2]) << 16) | info.productVersion[3]);
    for (uint32_t v : {info.fileFlagsMask, info.fileFlags, info.fileOs, info.fileType, info.fileSubtype, info.dateHigh,
                       info.dateLow})
        put32(fixed, v);
    Bytes out;
    writeNode(out, u"VS_VERSION_INFO", 0, fixed, 52, [&] {
        writeNode(out, u"StringFileInfo", 1, {}, 0, [&] {
            writeNode(out, info.tableKey, 1, {}, 0, [&] {
                for (const auto& s : info.strings) {
                    Bytes value;
                    putUtf16(value, s.second);
                    put16(value, 0);
                    writeNode(out, s.first, 1, value, static_cast<uint16_t>(s.second.size() + 1), [] {});
                }
            });
        });
        Bytes translations;
        for (uint32_t t : info.translations) put32(translations, t);
        writeNode(out, u"VarFileInfo", 1, {}, 0, [&] {
            writeNode(out, u"Translation", 0, translations, static_cast<uint16_t>(translations.size()), [] {});
        });
    });
    return out;
}

bool parseVersionNumber(const std::string& text, uint16_t parts[4]) {
    uint16_t out[4] = {0, 0, 0, 0};
    size_t pos = 0;
    int part = 0;
    for (;;) {
        if (part == 4 || pos >= text.size() || text[pos] < '0' || text[pos] > '9') return false;
        uint32_t v = 0;
        while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
            v = v * 10 + uint32_t(text[pos++] - '0');
            if (v > 65535) return false;
        }
        out[part++] = static_cast<uint16_t>(v);
        if (pos == text.size()) break;
        if (text[pos++] != '.') return false;
    }
    for (int i = 0; i < 4; ++i) parts[i] = out[i];
    return true;
}

bool parseLeadingVersionNumber(const std::string& text, uint16_t parts[4]) {
    return parseVersionNumber(text.substr(0, text.find_first_not_of("0123456789.")), parts);
}

std::string versionNumberText(const uint16_t p[4]) {
    return std::to_string(p[0]) + "." + std::to_string(p[1]) + "." + std::to_string(p[2]) + "." + std::to_string(p[3]);
}

void setVersionString(VersionInfo& info, const std::u16string& key, const std::u16string& value) {
    for (auto& s : info.strings)
        if (s.first == key) {
            s.second = value;
            return;
        }
    info.strings.emplace_back(key, value);
}

const std::u16string* versionString(const VersionInfo& info, const std::u16string& key) {
    for (const auto& s : info.strings)
        if (s.first == key) return &s.second;
    return nullptr;
}
