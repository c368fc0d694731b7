// The per-user folder of the platform layer, by the system's separator.
#include <gtest/gtest.h>

#include <string>

#include "Paths.h"

namespace tessary::platform {
namespace {

const std::string S(1, PathSeparator());

TEST(UserFolder, ProfileVariableWinsOverHome) {
    EXPECT_EQ(UserFolderFrom("/profiles/ann", "/home/ann"), "/profiles/ann" + S + "Tessary_DAQ" + S);
}

TEST(UserFolder, HomeWhenProfileUnsetOrEmpty) {
    EXPECT_EQ(UserFolderFrom(nullptr, "/home/ann"), "/home/ann" + S + "Tessary_DAQ" + S);
    EXPECT_EQ(UserFolderFrom("", "/home/ann"), "/home/ann" + S + "Tessary_DAQ" + S);
}

TEST(UserFolder, SeparatorIsNotDoubled) {
    EXPECT_EQ(UserFolderFrom(nullptr, "/"), "/Tessary_DAQ" + S);
    EXPECT_EQ(UserFolderFrom("/home/ann/", nullptr), "/home/ann/Tessary_DAQ" + S);
}

TEST(UserFolder, NoneWhenNeitherIsSet) {
    EXPECT_FALSE(UserFolderFrom(nullptr, nullptr).has_value());
    EXPECT_FALSE(UserFolderFrom("", "").has_value());
}

TEST(UserFolder, NoneWhenLongerThan127Characters) {
    const std::string fits = "/" + std::string(113, 'u');  // + "/Tessary_DAQ/" = 127
    EXPECT_EQ(UserFolderFrom(fits.c_str(), nullptr)->size(), 127u);
    const std::string tooLong = fits + "u";
    EXPECT_FALSE(UserFolderFrom(tooLong.c_str(), nullptr).has_value());
}

TEST(UserFolder, EndsWithTheSeparator) {
#ifdef _WIN32
    EXPECT_EQ(PathSeparator(), '\\');
#else
    EXPECT_EQ(PathSeparator(), '/');
#endif
    auto folder = UserFolderFrom(nullptr, "/home/ann");
    ASSERT_TRUE(folder.has_value());
    EXPECT_EQ(folder->back(), PathSeparator());
}

}  // namespace
}  // namespace tessary::platform
