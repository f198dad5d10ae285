#include "support/test_root.h"

#include <cstdlib>
#include <stdexcept>
#include <system_error>

namespace vexal::testing {

TempRoot::TempRoot() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "vexal-test-XXXXXX").string();
    if (!mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
    path_ = tmpl;
    if (const char* old = std::getenv("VEXAL_ROOT")) {
        previous_ = old;
        hadPrevious_ = true;
    }
    setenv("VEXAL_ROOT", path_.c_str(), 1);
}

TempRoot::~TempRoot() {
    if (hadPrevious_) setenv("VEXAL_ROOT", previous_.c_str(), 1);
    else unsetenv("VEXAL_ROOT");
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

}  // namespace vexal::testing
