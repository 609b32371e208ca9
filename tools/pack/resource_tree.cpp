// Resource directory parsing and layout.
#include "resource_tree.h"

#include <algorithm>
#include <map>
#include <set>

ResourceName resourceId(uint16_t id) {
    ResourceName n;
    n.isId = true;
    n.id = id;
    return n;
}

ResourceName resourceText(const std::string& ascii) {
    ResourceName n;
    n.isId = false;
    n.text.assign(ascii.begin(), ascii.end());
    return n;
}

static char16_t upper(char16_t c) { return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - 32) : c; }

static int compareNames(const ResourceName& a, const ResourceName& b) {
    if (a.isId != b.isId) return a.isId ? 1 : -1;  // names come first
    if (a.isId) return a.id < b.id ? -1 : a.id > b.id ? 1 : 0;
    size_t n = std::min(a.text.size(), b.text.size());
    for (size_t i = 0; i < n; ++i) {
        char16_t x = upper(a.text[i]), y = upper(b.text[i]);
        if (x != y) return x < y ? -1 : 1;
    }
    return a.text.size() < b.text.size() ? -1 : a.text.size() > b.text.size() ? 1 : 0;
}

bool sameName(const ResourceName& a, const ResourceName& b) { return compareNames(a, b) == 0; }

std::string describeName(const ResourceName& n) {
    if (n.isId) return std::to_string(n.id);
    std::string s = "\"";
    for (char16_t c : n.text) s += c < 0x80 ? static_cast<char>(c) : '?';
    return s + "\"";
}

namespace {

constexpr size_t kMaxItems = 65536;

struct TreeReader {
    const uint8_t* section;
    size_t size;
    uint32_t rva;
    std::vector<ResourceItem>* items;
    std::string* error;
    std::set<uint32_t> visited;

    bool fail(const std::string& text) {
        *error = "malformed resources: " + text;
        return false;
    }

    bool readName(uint32_t field, ResourceName* name) {
        if (!(field & 0x80000000u)) {
            if (field > 0xFFFF) return fail("resource id out of range");
            *name = resourceId(static_cast<uint16_t>(field));
            return true;
        }
        uint32_t at = field & 0x7FFFFFFF;
        if (!fits(size, at, 2)) return fail("a resource name lies outside the section");
        size_t n = rd16(section + at);
        if (!fits(size, at + 2, 2 * n)) return fail("a resource name lies outside the section");
        name->isId = false;
        name->text.resize(n);
        for (size_t i = 0; i < n; ++i) name->text[i] = static_cast<char16_t>(rd16(section + at + 2 + 2 * i));
        return true;
    }

    bool readDirectory(uint32_t at, int level, ResourceItem& path) {
        if (!visited.insert(at).second) return fail("a resource directory is reached twice");
        if (!fits(size, at, 16)) return fail("a resource directory lies outside the section");
        size_t count = size_t(rd16(section + at + 12)) + rd16(section + at + 14);
        if (!fits(size, at + 16, 8 * count)) return fail("a resource directory lies outside the section");
        for (size_t i = 0; i < count; ++i) {
            const uint8_t* e = section + at + 16 + 8 * i;
            uint32_t nameField = rd32(e), target = rd32(e + 4);
            ResourceName name;
            if (!readName(nameField, &name)) return false;
            if (level == 0) path.type = name;
            else if (level == 1) path.name = name;
            else {
                if (!name.isId) return fail("a resource language is a name");
                path.language = name.id;
            }
            bool isDirectory = (target & 0x80000000u) != 0;
            if (isDirectory != (level < 2)) return fail("the resource tree does not have three levels");
            if (isDirectory) {
                if (!readDirectory(target & 0x7FFFFFFF, level + 1, path)) return false;
            } else if (!readData(target, path)) {
                return false;
            }
        }
        return true;
    }

    bool readData(uint32_t at, const ResourceItem& path) {
        if (!visited.insert(at | 0x80000000u).second) return fail("a resource data entry is reached twice");
        if (!fits(size, at, 16)) return fail("a resource data entry lies outside the section");
        uint32_t dataRva = rd32(section + at), dataSize = rd32(section + at + 4);
        if (dataRva < rva || !fits(size, dataRva - rva, dataSize))
            return fail("the data of resource " + describeName(path.type) + "/" + describeName(path.name) +
                        " lies outside the resource section");
        if (items->size() >= kMaxItems) return fail("too many resources");
        ResourceItem item = path;
        item.codePage = rd32(section + at + 8);
        item.data.assign(section + (dataRva - rva), section + (dataRva - rva) + dataSize);
        items->push_back(std::move(item));
        return true;
    }
};

struct Node {
    ResourceName key;
    std::vector<Node> children;
    const ResourceItem* item = nullptr;
};

Node* child(Node& parent, const ResourceName& key) {
    for (Node& c : parent.children)
        if (sameName(c.key, key)) return &c;
    parent.children.push_back(Node{key, {}, nullptr});
    return &parent.children.back();
}

void sortTree(Node& n) {
    std::sort(n.children.begin(), n.children.end(),
              [](const Node& a, const Node& b) { return compareNames(a.key, b.key) < 0; });
    for (Node& c : n.children) sortTree(c);
}

}  // namespace

bool parseResourceTree(const uint8_t* section, size_t size, uint32_t sectionRva, std::vector<ResourceItem>* items,
                       std::string* error) {
    items->clear();
    TreeReader reader{section, size, sectionRva, items, error, {}};
    ResourceItem path;
    return reader.readDirectory(0, 0, path);
}

Bytes buildResourceTree(const std::vector<ResourceItem>& items, uint32_t sectionRva) {
    Node root;
    for (const ResourceItem& item : items) {
        Node* type = child(root, item.type);
        Node* name = child(*type, item.name);
        Node* lang = child(*name, resourceId(item.language));
        lang->item = &item;  // a later duplicate replaces an earlier one
    }
    sortTree(root);

    // Layout: all directories (breadth first), data entries, name strings, then the data.
    std::vector<Node*> directories{&root};
    for (size_t i = 0; i < directories.size(); ++i)
        if (directories[i]->children.empty() || directories[i]->children[0].item == nullptr)
            for (Node& c : directories[i]->children) directories.push_back(&c);
    std::map<const Node*, uint32_t> dirOffset;
    uint32_t pos = 0;
    for (Node* d : directories) {
        dirOffset[d] = pos;
        pos += 16 + 8 * static_cast<uint32_t>(d->children.size());
    }
    std::vector<const Node*> leaves;
    for (Node* d : directories)
        for (Node& c : d->children)
            if (c.item) leaves.push_back(&c);
    std::map<const Node*, uint32_t> leafOffset;
    for (const Node* l : leaves) {
        leafOffset[l] = pos;
        pos += 16;
    }
    Bytes strings;
    std::map<const Node*, uint32_t> nameOffset;
    for (Node* d : directories)
        for (Node& c : d->children)
            if (!c.key.isId) {
                nameOffset[&c] = pos + static_cast<uint32_t>(strings.size());
                put16(strings, static_cast<uint32_t>(c.key.text.size()));
                putUtf16(strings, c.key.text);
            }
    Bytes out(pos, 0);
    out.insert(out.end(), strings.begin(), strings.end());
    padTo(out, 8);
    for (const Node* l : leaves) {
        uint8_t* e = out.data() + leafOffset[l];
        uint32_t at = static_cast<uint32_t>(out.size());
        wr32(e, sectionRva + at);
        wr32(e + 4, static_cast<uint32_t>(l->item->data.size()));
        wr32(e + 8, l->item->codePage);
        out.insert(out.end(), l->item->data.begin(), l->item->data.end());
        padTo(out, 8);
    }
    for (Node* d : directories) {
        uint8_t* h = out.data() + dirOffset[d];
        uint32_t named = 0;
        for (Node& c : d->children) named += c.key.isId ? 0 : 1;
        wr16(h + 12, named);
        wr16(h + 14, static_cast<uint32_t>(d->children.size()) - named);
        for (size_t i = 0; i < d->children.size(); ++i) {
            Node& c = d->children[i];
            uint8_t* e = h + 16 + 8 * i;
            wr32(e, c.key.isId ? c.key.id : (0x80000000u | nameOffset[&c]));
            wr32(e + 4, c.item ? leafOffset[&c] : (0x80000000u | dirOffset[&c]));
        }
    }
    return out;
}
