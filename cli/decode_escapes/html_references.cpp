#include "html_references.h"

#include <iterator>

namespace {

struct NamedReference {
    const char* name;  // without "&"
    std::uint32_t first;
    std::uint32_t second;
};

constexpr NamedReference NamedReferences[] = {
#include "named_references.inc"
};
constexpr std::size_t NamedReferenceCount = std::size(NamedReferences);

constexpr std::size_t NameLength(const char* name)
{
    std::size_t length = 0;
    while (name[length] != 0)
        ++length;
    return length;
}

// The length and the first two and last two bytes of a name (at least two
// bytes long), mixed by one multiplication: enough to tell most names
// apart, and as quick for a long name as for a short one.
constexpr std::uint32_t HashName(const char* name, std::size_t length)
{
    const std::uint64_t ends = static_cast<std::uint64_t>(static_cast<unsigned char>(name[0])) |
                               static_cast<std::uint64_t>(static_cast<unsigned char>(name[1])) << 8 |
                               static_cast<std::uint64_t>(static_cast<unsigned char>(name[length - 2])) << 16 |
                               static_cast<std::uint64_t>(static_cast<unsigned char>(name[length - 1])) << 24 |
                               static_cast<std::uint64_t>(length) << 32;
    return static_cast<std::uint32_t>((ends * 0x9E3779B97F4A7C15u) >> 40);
}

// An open-addressing hash of the names, made by the compiler: a slot holds
// a row's index + 1, or 0 when free; a collision takes the next slot. Kept
// under 55 % full, a lookup reads a few slots.
const std::size_t IndexSlots = 4096;

struct NameIndex {
    std::uint16_t slots[IndexSlots];
    std::uint8_t lengths[NamedReferenceCount];
    std::size_t longestLegacy;  // the longest name without ";"

    constexpr NameIndex() : slots(), lengths(), longestLegacy(0)
    {
        for (std::size_t row = 0; row < NamedReferenceCount; ++row) {
            const char* name = NamedReferences[row].name;
            const std::size_t length = NameLength(name);
            lengths[row] = static_cast<std::uint8_t>(length);
            if (name[length - 1] != ';' && length > longestLegacy)
                longestLegacy = length;
            std::size_t slot = HashName(name, length) & (IndexSlots - 1);
            while (slots[slot] != 0)
                slot = (slot + 1) & (IndexSlots - 1);
            slots[slot] = static_cast<std::uint16_t>(row + 1);
        }
    }
};
constexpr NameIndex Index;
static_assert(NamedReferenceCount * 100 / IndexSlots < 55, "the name index is too full");

const NamedReference* FindName(const char* name, std::size_t length)
{
    for (std::size_t slot = HashName(name, length) & (IndexSlots - 1); Index.slots[slot] != 0;
         slot = (slot + 1) & (IndexSlots - 1)) {
        const std::size_t row = Index.slots[slot] - 1u;
        if (Index.lengths[row] != length)
            continue;
        const char* candidate = NamedReferences[row].name;
        std::size_t i = 0;
        while (i < length && candidate[i] == name[i])
            ++i;
        if (i == length)
            return &NamedReferences[row];
    }
    return nullptr;
}

constexpr std::uint64_t PackName(const char* name, std::size_t length)
{
    std::uint64_t packed = 0;
    for (std::size_t i = 0; i < length; ++i)
        packed |= static_cast<std::uint64_t>(static_cast<unsigned char>(name[i])) << 8 * i;
    return packed;
}

constexpr bool IsShortName(const char* name)
{
    return NameLength(name) <= ShortNameBytes;
}

constexpr ShortNameIndex MakeShortNameIndex()
{
    ShortNameIndex index{};
    for (const NamedReference& reference : NamedReferences) {
        if (!IsShortName(reference.name))
            continue;
        const std::uint64_t packed = PackName(reference.name, NameLength(reference.name));
        std::size_t slot = ShortNameSlot(packed);
        while (index.slots[slot].packed != 0)
            slot = (slot + 1) & (ShortNameSlots - 1);
        index.slots[slot] = ShortNameIndex::Slot{packed, reference.first, reference.second};
    }
    return index;
}

constexpr std::size_t CountShortNames()
{
    std::size_t count = 0;
    for (const NamedReference& reference : NamedReferences)
        count += IsShortName(reference.name);
    return count;
}
static_assert(CountShortNames() * 100 / ShortNameSlots < 55, "the short name index is too full");

std::size_t Matched(const NamedReference* found, std::size_t length, ReferenceCharacters& characters)
{
    characters.first = found->first;
    characters.second = found->second;
    return length;
}

}  // namespace

std::size_t MatchNamedReference(const char* name, std::size_t length, bool semicolon, ReferenceCharacters& characters)
{
    if (length == 0)
        return 0;
    if (semicolon) {
        if (const NamedReference* found = FindName(name, length + 1))
            return Matched(found, length + 1, characters);
    }
    // The shortest names, such as "lt" and "gt", have two letters.
    for (std::size_t prefix = length < Index.longestLegacy ? length : Index.longestLegacy; prefix >= 2; --prefix) {
        if (const NamedReference* found = FindName(name, prefix))
            return Matched(found, prefix, characters);
    }
    return 0;
}

constexpr ShortNameIndex ShortNames = MakeShortNameIndex();

// What windows-1252 gives the bytes 0x80 to 0x9F; 0 where it gives nothing,
// and the number stands for itself.
const std::uint16_t C1Replacements[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 0x80
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,       // 0x88
    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 0x90
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,  // 0x98
};
