#include <gtest/gtest.h>

#include "kestrum/KestrumPane.hpp"
#include "kestrum/PermissionAuthorizationState.hpp"

using namespace kestrum;

namespace {

template <typename E>
void expectEveryCaseRoundTrips() {
    for (const auto value : allCases<E>()) {
        const std::string encoded = encodeRawValue(value);
        EXPECT_EQ(encoded, rawValue(value));
        const auto decoded = decodeRawValue<E>(encoded);
        ASSERT_TRUE(decoded.hasValue()) << encoded;
        EXPECT_EQ(decoded.value(), value);
    }
}

}  // namespace

TEST(RawValueSerialization, EveryCaseOfTheModelRoundTrips) {
    expectEveryCaseRoundTrips<KestrumPane>();
    expectEveryCaseRoundTrips<PermissionAuthorizationState>();
    expectEveryCaseRoundTrips<PermissionStatusCapability>();
    EXPECT_EQ(encodeRawValue(KestrumPane::mediaAppleMusic), "mediaAppleMusic");
}

TEST(RawValueSerialization, AnythingButAnExactRawValueIsADataErrorNamingTypeAndText) {
    const auto pane = decodeRawValue<KestrumPane>("Accessibility");
    ASSERT_FALSE(pane.hasValue());
    EXPECT_FALSE(pane.optional());
    EXPECT_NE(pane.error().message.find("KestrumPane"), std::string::npos);
    EXPECT_NE(pane.error().message.find("\"Accessibility\""), std::string::npos);

    for (const std::string_view bad : {"", " accessibility", "accessibility ", "fullDisk", "screen_recording"}) {
        EXPECT_FALSE(decodeRawValue<KestrumPane>(bad)) << '"' << bad << '"';
    }
    EXPECT_FALSE(decodeRawValue<PermissionAuthorizationState>("Granted"));
    EXPECT_FALSE(decodeRawValue<PermissionStatusCapability>("preflight"));
    // A string with an embedded NUL is not the raw value it starts with.
    EXPECT_FALSE(decodeRawValue<KestrumPane>(std::string_view("microphone\0x", 12)));
}
