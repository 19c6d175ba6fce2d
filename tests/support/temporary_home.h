#pragma once

#include <optional>
#include <string>

// While it lives, the user's home (and so the documents folder files are
// saved under by default) is a fresh temporary folder, removed afterwards:
// tests never write into the real one. On Windows the test prefix's own
// documents folder is used as it is.
class TemporaryHome {
public:
    TemporaryHome();
    ~TemporaryHome();
    TemporaryHome(const TemporaryHome&) = delete;
    TemporaryHome& operator=(const TemporaryHome&) = delete;

    const std::string& Path() const { return path_; }

private:
    std::string path_;
    std::optional<std::string> saved_;  // HOME as it was, if it was set
};
