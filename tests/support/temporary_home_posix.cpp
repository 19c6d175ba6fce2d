#include <stdlib.h>

#include <filesystem>

#include "support/temporary_home.h"

TemporaryHome::TemporaryHome() {
    std::string pattern = (std::filesystem::temp_directory_path() / "ampwright-home-XXXXXX").string();
    if (mkdtemp(pattern.data()) != nullptr) path_ = pattern;
    if (const char* home = getenv("HOME")) saved_ = home;
    setenv("HOME", path_.c_str(), 1);
}

TemporaryHome::~TemporaryHome() {
    saved_ ? setenv("HOME", saved_->c_str(), 1) : unsetenv("HOME");
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
}
