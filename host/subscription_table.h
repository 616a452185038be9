#pragma once
// The SubscriptionTable: one FieldList per served symbol and interval, under its SubscriptionKey.
// Keys are unique and compared without regard to letter case; entries keep the order in which
// they were added.
#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace tarnwick {

// Ordered names of the value fields of one host table.
using FieldList = std::vector<std::string>;

class SubscriptionTable {
  public:
    // Adds the entry; returns false and leaves the table unchanged when the key is present.
    bool Add(std::string_view key, FieldList fields);
    // Adds or replaces the entry under key (a replaced entry keeps its position).
    void Put(std::string_view key, FieldList fields);
    // Removes the entry; returns false when there was none.
    bool Remove(std::string_view key);
    // The entry's FieldList, or nullptr when there is none.
    const FieldList* Find(std::string_view key) const;
    bool Contains(std::string_view key) const { return Find(key) != nullptr; }
    std::size_t Count() const { return size_; }
    // Keys in the order in which their entries were added (as first written).
    std::vector<std::string> Keys() const;

  private:
    struct Entry {
        std::string Key;
        FieldList Fields;
        bool Live = false;
    };
    // Hash and equality that ignore ASCII letter case, usable with any string_view, so a lookup
    // neither folds nor allocates.
    struct Caseless {
        using is_transparent = void;
        std::size_t operator()(std::string_view key) const;
        bool operator()(std::string_view a, std::string_view b) const;
    };

    std::vector<Entry> entries_;  // insertion order; removed entries are tombstoned
    std::unordered_map<std::string, std::size_t, Caseless, Caseless> index_;  // key -> position
    std::size_t size_ = 0;
};

// The letter-case rule shared by subscription keys and the list's sort order: ASCII letters
// fold to lower case, every other byte stands as it is.
inline char FoldAsciiCase(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// ASCII letters compared without case; every other byte compared as it stands.
bool EqualIgnoringCase(std::string_view a, std::string_view b);

}  // namespace tarnwick
