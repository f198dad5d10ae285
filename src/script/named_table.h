#pragma once
// A table of named records in declaration order with a hash index, so that a lookup never
// walks the table. Records never move once added (the statement list keeps pointers to
// them). Names compare exactly: case counts.
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace vexal::script {

struct TransparentHash {
    using is_transparent = void;
    size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
};

template <class Record>
class NamedTable {
public:
    // Null when the name is taken.
    Record* add(std::unique_ptr<Record> record) {
        const std::string& name = record->name;
        if (index_.find(std::string_view(name)) != index_.end()) return nullptr;
        nameBytes_ += name.size() + 1;
        if (name.size() > longest_) longest_ = name.size();
        Record* raw = record.get();
        records_.push_back(std::move(record));
        index_.emplace(raw->name, raw);
        return raw;
    }

    Record* find(std::string_view name) const {
        auto it = index_.find(name);
        return it == index_.end() ? nullptr : it->second;
    }

    void clear() {
        index_.clear();
        records_.clear();
        nameBytes_ = 0;
        longest_ = 0;
    }

    size_t size() const { return records_.size(); }
    bool empty() const { return records_.empty(); }
    // The total length of the names plus one byte each, and the longest name.
    size_t nameBytes() const { return nameBytes_; }
    size_t longestName() const { return longest_; }

    auto begin() const { return records_.begin(); }
    auto end() const { return records_.end(); }
    Record& operator[](size_t i) const { return *records_[i]; }

private:
    std::vector<std::unique_ptr<Record>> records_;
    std::unordered_map<std::string, Record*, TransparentHash, std::equal_to<>> index_;
    size_t nameBytes_ = 0;
    size_t longest_ = 0;
};

}  // namespace vexal::script
