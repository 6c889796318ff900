#pragma once
// Shared pieces of the desktop shell's tests: a mock delegate and sample contents.
#include <gmock/gmock.h>

#include "kestrum/PanelContent.hpp"
#include "kestrum/ports/PanelWindow.hpp"

namespace kestrum::desktop {

class MockPanelDelegate : public PanelWindowDelegate {
public:
    MOCK_METHOD(void, panelReceivedMouseDown, (), (override));
    MOCK_METHOD(void, panelBecameKeyOrMain, (), (override));
    MOCK_METHOD(void, settingsButtonPressed, (), (override));
    MOCK_METHOD(void, closeButtonPressed, (), (override));
    MOCK_METHOD(void, dragStateChanged, (bool), (override));
};

inline PanelContent englishContent() {
    PanelContent content;
    content.headerTitle = {{"Drag ", false, false, false, std::nullopt},
                           {"Tazel", true, false, false, std::nullopt},
                           {" to the list above to allow ", false, false, false, std::nullopt},
                           {"Accessibility", true, false, false, std::nullopt},
                           {".", false, false, false, std::nullopt}};
    content.card = AppCardContent{URL::fileURL("/Applications/Tazel.app"), "Tazel", "Drag me"};
    return content;
}

inline PanelContent germanContent() {
    PanelContent content = englishContent();
    content.headerTitle = {
        {"Ziehe ", false, false, false, std::nullopt},
        {"Tazel Bildschirmaufnahmeassistent", true, false, false, std::nullopt},
        {" in die obige Liste, um den Zugriff auf ", false, false, false, std::nullopt},
        {"Bildschirm- und Systemaudioaufnahme", true, false, false, std::nullopt},
        {" dauerhaft zu erlauben.", false, false, false, std::nullopt}};
    content.localeIdentifier = "de";
    return content;
}

}  // namespace kestrum::desktop
