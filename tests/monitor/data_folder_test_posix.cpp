#include <gtest/gtest.h>

#include <stdlib.h>

#include <filesystem>

#include "monitor/data_folder.h"
#include "support/temporary_home.h"

TEST(DataFolder, DocumentsThenQuarnelThenVoltiqCreatedWhenMissingElseTheTemporaryFolderNamed) {
    TemporaryHome home;  // restores HOME afterwards
    std::string note;
    EXPECT_EQ(GetDataFolder(&note), home.Path() + "/Documents/Quarnel/Voltiq");
    EXPECT_TRUE(std::filesystem::is_directory(home.Path() + "/Documents/Quarnel/Voltiq"));
    EXPECT_EQ(note, "");

    unsetenv("HOME");
    const char* previous = getenv("TMPDIR");
    std::string saved = previous != nullptr ? previous : "";
    setenv("TMPDIR", (home.Path() + "/").c_str(), 1);
    std::string folder = GetDataFolder(&note);
    if (previous != nullptr) {
        setenv("TMPDIR", saved.c_str(), 1);
    } else {
        unsetenv("TMPDIR");
    }
    EXPECT_EQ(folder, home.Path() + "/Quarnel/Voltiq");
    EXPECT_TRUE(std::filesystem::is_directory(folder));
    EXPECT_EQ(note, "The Documents folder could not be found; files are saved under " + home.Path() + " instead");
}
