#include <gtest/gtest.h>

#include "kestrum/URL.hpp"

using kestrum::URL;

TEST(URL, FileURLEncodesThePathAndKeepsItsText) {
    const URL url = URL::fileURL("/Applications/My App.app");
    EXPECT_EQ(url.absoluteString(), "file:///Applications/My%20App.app");
    EXPECT_EQ(url.path(), "/Applications/My App.app");
    EXPECT_EQ(url.lastPathComponent(), "My App.app");
    EXPECT_EQ(url.pathExtension(), "app");
    EXPECT_TRUE(url.isFileURL());
}

TEST(URL, RelativePathsResolveAgainstTheBaseAndStandardize) {
    const URL url = URL::fileURL("../Apps/./Tazel.app", "/home/user/work").standardized();
    EXPECT_EQ(url.path(), "/home/user/Apps/Tazel.app");
    EXPECT_EQ(URL::fileURL("/a//b/../../..").standardized().path(), "/");
}

TEST(URL, TrailingSeparatorIsNotPartOfThePath) {
    const URL withSlash = URL::fileURL("/Applications/Tazel.app/");
    EXPECT_EQ(withSlash.path(), "/Applications/Tazel.app");
    EXPECT_EQ(withSlash.pathExtension(), "app");
    EXPECT_NE(withSlash, URL::fileURL("/Applications/Tazel.app"));
}

TEST(URL, ExtensionOfADotSegmentIsEmptyUntilStandardized) {
    const URL url = URL::fileURL("/Applications/Tazel.app/.");
    EXPECT_EQ(url.pathExtension(), "");
    EXPECT_EQ(url.standardized().pathExtension(), "app");
}

TEST(URL, ParseAcceptsSchemesAndRejectsJunk) {
    ASSERT_TRUE(URL::parse("x-apple.systempreferences:com.apple.Foo?Bar"));
    EXPECT_EQ(URL::parse("x-apple.systempreferences:com.apple.Foo?Bar")->scheme(), "x-apple.systempreferences");
    EXPECT_FALSE(URL::parse("no scheme"));
    EXPECT_FALSE(URL::parse(":x"));
    EXPECT_FALSE(URL::parse("1abc:x"));
    EXPECT_FALSE(URL::parse("a:b c"));
}

TEST(URL, PercentDecodingLeavesBrokenEscapesAlone) {
    EXPECT_EQ(kestrum::percentDecode("a%20b%2"), "a b%2");
    EXPECT_EQ(kestrum::percentDecode("%zz%41"), "%zzA");
}
