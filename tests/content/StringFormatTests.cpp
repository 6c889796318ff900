#include "kestrum/StringFormat.hpp"

#include <gtest/gtest.h>

namespace kestrum {
namespace {

TEST(StringFormatTest, SequentialAndPositionalPlaceholders) {
    EXPECT_EQ(formatObjectTemplate("Drag **%@** to allow **%@**.", {"Tazel", "Bluetooth"}),
              "Drag **Tazel** to allow **Bluetooth**.");
    EXPECT_EQ(formatObjectTemplate("%2$@ for %1$@", {"Tazel", "Bluetooth"}), "Bluetooth for Tazel");
    EXPECT_EQ(formatObjectTemplate("%1$@ %1$@ %@", {"a", "b"}), "a a a");
    EXPECT_EQ(formatObjectTemplate("100%% of %@", {"x"}), "100% of x");
    // Arguments are inserted as they are, never read as placeholders.
    EXPECT_EQ(formatObjectTemplate("%@ and %@", {"%@", "%%"}), "%@ and %%");
}

TEST(StringFormatTest, FaultyPlaceholdersStayVisible) {
    EXPECT_EQ(formatObjectTemplate("%@ %@ %@", {"a", "b"}), "a b %@");
    EXPECT_EQ(formatObjectTemplate("%3$@ %0$@", {"a", "b"}), "%3$@ %0$@");
    EXPECT_EQ(formatObjectTemplate("%99999999999999999999999$@", {"a"}), "%99999999999999999999999$@");
    EXPECT_EQ(formatObjectTemplate("%d %s %1$s %", {"a"}), "%d %s %1$s %");
    EXPECT_EQ(formatObjectTemplate("", {"a"}), "");
}

}  // namespace
}  // namespace kestrum
