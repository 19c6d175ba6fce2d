#include <gtest/gtest.h>

#include "app/user_guide.h"

// A portable copy may sit anywhere: URL syntax characters are escaped, letters
// beyond ASCII are kept so that Windows finds the folder by its real name.
TEST(UserGuide, AddressOfAFolderWithSpacesSignsAndLettersBeyondAscii) {
    EXPECT_EQ(UserGuideAddress("C:\\Prüfstand Zürich\\#1 100%?"),
              "file:///C:/Prüfstand%20Zürich/%231%20100%25%3F/user-guide.html");
}
