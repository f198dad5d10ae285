#pragma once
#include <filesystem>
#include <string>

namespace vexal::testing {

// A fresh folder set as VEXAL_ROOT for the lifetime of the object, removed afterwards.
class TempRoot {
public:
    TempRoot();
    ~TempRoot();
    TempRoot(const TempRoot&) = delete;
    TempRoot& operator=(const TempRoot&) = delete;
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
    std::string previous_;
    bool hadPrevious_ = false;
};

}  // namespace vexal::testing
