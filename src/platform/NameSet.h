#pragma once
// A set of names (paths, keys), compared byte for byte: what the folder walks
// and the lists of an installation ask whether a name was met already, for
// tens of thousands of names. Smaller than the standard hash set, which the
// setup program would carry for these alone. Portable.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class TNameSet {
public:
    // True when Name was not in the set before.
    bool Insert(std::string Name) {
        if (2 * (FCount + 1) > FSlots.size()) Grow();
        const std::size_t At = Place(Name);
        if (FUsed[At]) return false;
        FUsed[At] = 1;
        FSlots[At] = std::move(Name);
        ++FCount;
        return true;
    }

    bool Contains(std::string_view Name) const { return FCount > 0 && FUsed[Place(Name)]; }

    std::size_t Size() const { return FCount; }

private:
    // The slot that holds Name, or the free one where it goes (open
    // addressing; at most half the slots are used, so there is always one).
    std::size_t Place(std::string_view Name) const {
        std::uint64_t Hash = 14695981039346656037ull; // FNV-1a
        for (unsigned char C : Name)
            Hash = (Hash ^ C) * 1099511628211ull;
        const std::size_t Mask = FSlots.size() - 1;
        std::size_t At = static_cast<std::size_t>(Hash) & Mask;
        while (FUsed[At] && FSlots[At] != Name)
            At = (At + 1) & Mask;
        return At;
    }

    void Grow() {
        std::vector<std::string> Slots = std::move(FSlots);
        std::vector<unsigned char> Used = std::move(FUsed);
        const std::size_t Capacity = Slots.empty() ? 16 : 2 * Slots.size();
        FSlots = std::vector<std::string>(Capacity);
        FUsed.assign(Capacity, 0);
        for (std::size_t I = 0; I < Slots.size(); ++I) {
            if (!Used[I]) continue;
            const std::size_t At = Place(Slots[I]);
            FUsed[At] = 1;
            FSlots[At] = std::move(Slots[I]);
        }
    }

    std::vector<std::string> FSlots; // a power of two of them, or none
    std::vector<unsigned char> FUsed;
    std::size_t FCount = 0;
};
