// .ico parsing and group-icon resources.
#include "icon_file.h"

#include <cstring>

namespace {
constexpr size_t kMaxImages = 256;
const uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};

void readIconFormat(const uint8_t* entry, IconFormat* format) {
    format->width = entry[0];
    format->height = entry[1];
    format->colors = entry[2];
    format->planes = rd16(entry + 4);
    format->bitCount = rd16(entry + 6);
}
}  // namespace

bool parseIcoFile(const Bytes& file, std::vector<IconImage>* images, std::string* error) {
    images->clear();
    if (file.size() < 6 || rd16(&file[0]) != 0 || rd16(&file[2]) != 1) {
        *error = "not an icon file (no icon header)";
        return false;
    }
    size_t count = rd16(&file[4]);
    if (count == 0 || count > kMaxImages) {
        *error = "not a usable icon file: it holds " + std::to_string(count) + " images";
        return false;
    }
    if (!fits(file.size(), 6, 16 * count)) {
        *error = "truncated icon file: the image list is cut short";
        return false;
    }
    for (size_t i = 0; i < count; ++i) {
        const uint8_t* e = &file[6 + 16 * i];
        uint32_t size = rd32(e + 8), offset = rd32(e + 12);
        std::string which = "image " + std::to_string(i + 1);
        if (size < 8 || !fits(file.size(), offset, size)) {
            *error = "truncated icon file: " + which + " lies outside the file";
            return false;
        }
        const uint8_t* data = &file[offset];
        bool png = memcmp(data, kPngSignature, 8) == 0;
        bool dib = size >= 40 && rd32(data) == 40;
        if (!png && !dib) {
            *error = "not an icon file: " + which + " is neither a bitmap nor a PNG image";
            return false;
        }
        IconImage image;
        readIconFormat(e, &image);
        if (dib && image.bitCount == 0) image.bitCount = rd16(data + 14);
        if (image.planes == 0) image.planes = 1;
        image.data.assign(data, data + size);
        images->push_back(std::move(image));
    }
    return true;
}

Bytes buildGroupIcon(const std::vector<IconImage>& images, const std::vector<uint16_t>& ids) {
    Bytes out;
    put16(out, 0);
    put16(out, 1);
    put16(out, static_cast<uint32_t>(images.size()));
    for (size_t i = 0; i < images.size(); ++i) {
        const IconImage& im = images[i];
        out.push_back(im.width);
        out.push_back(im.height);
        out.push_back(im.colors);
        out.push_back(0);
        put16(out, im.planes);
        put16(out, im.bitCount);
        put32(out, static_cast<uint32_t>(im.data.size()));
        put16(out, ids[i]);
    }
    return out;
}

bool parseGroupIcon(const Bytes& data, std::vector<GroupIconEntry>* entries, std::string* error) {
    entries->clear();
    if (data.size() < 6 || rd16(&data[2]) != 1) {
        *error = "malformed group icon";
        return false;
    }
    size_t count = rd16(&data[4]);
    if (!fits(data.size(), 6, 14 * count)) {
        *error = "malformed group icon: the image list is cut short";
        return false;
    }
    for (size_t i = 0; i < count; ++i) {
        const uint8_t* e = &data[6 + 14 * i];
        GroupIconEntry g;
        readIconFormat(e, &g);
        g.bytes = rd32(e + 8);
        g.id = rd16(e + 12);
        entries->push_back(g);
    }
    return true;
}

std::string describeIconEntry(const GroupIconEntry& e) {
    unsigned w = e.width ? e.width : 256, h = e.height ? e.height : 256;
    return std::to_string(w) + "x" + std::to_string(h) + " " + std::to_string(e.bitCount) + "-bit";
}
