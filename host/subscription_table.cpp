#include "host/subscription_table.h"

#include <cstdint>

namespace tarnwick {

bool EqualIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (FoldAsciiCase(a[i]) != FoldAsciiCase(b[i])) return false;
    }
    return true;
}

std::size_t SubscriptionTable::Caseless::operator()(std::string_view key) const {
    // 64-bit FNV-1a over the folded bytes, folded to the width of size_t (32 bits on 32-bit
    // Windows) so that both halves count.
    std::uint64_t h = 14695981039346656037ull;
    for (char c : key) {
        h ^= static_cast<unsigned char>(FoldAsciiCase(c));
        h *= 1099511628211ull;
    }
    return static_cast<std::size_t>(h ^ (h >> 32));
}

bool SubscriptionTable::Caseless::operator()(std::string_view a, std::string_view b) const {
    return EqualIgnoringCase(a, b);
}

bool SubscriptionTable::Add(std::string_view key, FieldList fields) {
    if (index_.find(key) != index_.end()) return false;
    // Compact the tombstones once they outnumber the live entries, so that a long run of adds
    // and removes keeps the vector small.
    if (entries_.size() > 64 && entries_.size() > 2 * size_) {
        std::vector<Entry> kept;
        kept.reserve(size_ + 1);
        for (Entry& e : entries_) {
            if (e.Live) kept.push_back(std::move(e));
        }
        entries_ = std::move(kept);
        index_.clear();
        for (std::size_t i = 0; i < entries_.size(); ++i) index_.emplace(entries_[i].Key, i);
    }
    index_.emplace(std::string(key), entries_.size());
    entries_.push_back(Entry{std::string(key), std::move(fields), true});
    ++size_;
    return true;
}

void SubscriptionTable::Put(std::string_view key, FieldList fields) {
    auto it = index_.find(key);
    if (it == index_.end()) {
        Add(key, std::move(fields));
        return;
    }
    entries_[it->second].Fields = std::move(fields);
}

bool SubscriptionTable::Remove(std::string_view key) {
    auto it = index_.find(key);
    if (it == index_.end()) return false;
    Entry& e = entries_[it->second];
    e.Live = false;
    e.Fields.clear();
    index_.erase(it);
    --size_;
    return true;
}

const FieldList* SubscriptionTable::Find(std::string_view key) const {
    auto it = index_.find(key);
    return it == index_.end() ? nullptr : &entries_[it->second].Fields;
}

std::vector<std::string> SubscriptionTable::Keys() const {
    std::vector<std::string> keys;
    keys.reserve(size_);
    for (const Entry& e : entries_) {
        if (e.Live) keys.push_back(e.Key);
    }
    return keys;
}

}  // namespace tarnwick
