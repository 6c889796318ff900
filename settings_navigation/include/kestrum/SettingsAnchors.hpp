#pragma once
// The anchors that select a section inside a settings pane, with their exact identifiers.
#include <array>
#include <string_view>
#include <utility>

#include "kestrum/RawEnum.hpp"

namespace kestrum {

// Sections of the Privacy & Security pane.
enum class PrivacySecurityAnchor {
    advanced,
    fileVault,
    locationAccessReport,
    lockdownMode,
    privacyAccessibility,
    privacyAdvertising,
    privacyAllFiles,
    privacyAnalytics,
    privacyAppBundles,
    privacyAudioCapture,
    privacyAutomation,
    privacyBluetooth,
    privacyCalendars,
    privacyCamera,
    privacyContacts,
    privacyDevTools,
    privacyFilesAndFolders,
    privacyFocus,
    privacyHomeKit,
    privacyListenEvent,
    privacyLocationServices,
    privacyMedia,
    privacyMicrophone,
    privacyMotion,
    privacyNudityDetection,
    privacyPasskeyAccess,
    privacyPhotos,
    privacyReminders,
    privacyRemoteDesktop,
    privacyScreenCapture,
    privacySpeechRecognition,
    privacySystemServices,
    security,
    securityImprovements,
};

template <>
struct RawEnumTable<PrivacySecurityAnchor> {
    static constexpr std::string_view name = "PrivacySecurityAnchor";
    static constexpr std::array<std::pair<PrivacySecurityAnchor, std::string_view>, 34> entries{{
        {PrivacySecurityAnchor::advanced, "Advanced"},
        {PrivacySecurityAnchor::fileVault, "FileVault"},
        {PrivacySecurityAnchor::locationAccessReport, "Location_Access_Report"},
        {PrivacySecurityAnchor::lockdownMode, "LockdownMode"},
        {PrivacySecurityAnchor::privacyAccessibility, "Privacy_Accessibility"},
        {PrivacySecurityAnchor::privacyAdvertising, "Privacy_Advertising"},
        {PrivacySecurityAnchor::privacyAllFiles, "Privacy_AllFiles"},
        {PrivacySecurityAnchor::privacyAnalytics, "Privacy_Analytics"},
        {PrivacySecurityAnchor::privacyAppBundles, "Privacy_AppBundles"},
        {PrivacySecurityAnchor::privacyAudioCapture, "Privacy_AudioCapture"},
        {PrivacySecurityAnchor::privacyAutomation, "Privacy_Automation"},
        {PrivacySecurityAnchor::privacyBluetooth, "Privacy_Bluetooth"},
        {PrivacySecurityAnchor::privacyCalendars, "Privacy_Calendars"},
        {PrivacySecurityAnchor::privacyCamera, "Privacy_Camera"},
        {PrivacySecurityAnchor::privacyContacts, "Privacy_Contacts"},
        {PrivacySecurityAnchor::privacyDevTools, "Privacy_DevTools"},
        {PrivacySecurityAnchor::privacyFilesAndFolders, "Privacy_FilesAndFolders"},
        {PrivacySecurityAnchor::privacyFocus, "Privacy_Focus"},
        {PrivacySecurityAnchor::privacyHomeKit, "Privacy_HomeKit"},
        {PrivacySecurityAnchor::privacyListenEvent, "Privacy_ListenEvent"},
        {PrivacySecurityAnchor::privacyLocationServices, "Privacy_LocationServices"},
        {PrivacySecurityAnchor::privacyMedia, "Privacy_Media"},
        {PrivacySecurityAnchor::privacyMicrophone, "Privacy_Microphone"},
        {PrivacySecurityAnchor::privacyMotion, "Privacy_Motion"},
        {PrivacySecurityAnchor::privacyNudityDetection, "Privacy_NudityDetection"},
        {PrivacySecurityAnchor::privacyPasskeyAccess, "Privacy_PasskeyAccess"},
        {PrivacySecurityAnchor::privacyPhotos, "Privacy_Photos"},
        {PrivacySecurityAnchor::privacyReminders, "Privacy_Reminders"},
        {PrivacySecurityAnchor::privacyRemoteDesktop, "Privacy_RemoteDesktop"},
        {PrivacySecurityAnchor::privacyScreenCapture, "Privacy_ScreenCapture"},
        {PrivacySecurityAnchor::privacySpeechRecognition, "Privacy_SpeechRecognition"},
        {PrivacySecurityAnchor::privacySystemServices, "Privacy_SystemServices"},
        {PrivacySecurityAnchor::security, "Security"},
        {PrivacySecurityAnchor::securityImprovements, "SecurityImprovements"},
    }};
};

// Sections of the Displays pane.
enum class DisplaySettingsAnchor {
    advancedSection,
    ambienceSection,
    arrangementSection,
    characteristicSection,
    displaysSection,
    miscellaneousSection,
    nightShiftSection,
    profileSection,
    resolutionSection,
    sidecarSection,
};

template <>
struct RawEnumTable<DisplaySettingsAnchor> {
    static constexpr std::string_view name = "DisplaySettingsAnchor";
    static constexpr std::array<std::pair<DisplaySettingsAnchor, std::string_view>, 10> entries{{
        {DisplaySettingsAnchor::advancedSection, "advancedSection"},
        {DisplaySettingsAnchor::ambienceSection, "ambienceSection"},
        {DisplaySettingsAnchor::arrangementSection, "arrangementSection"},
        {DisplaySettingsAnchor::characteristicSection, "characteristicSection"},
        {DisplaySettingsAnchor::displaysSection, "displaysSection"},
        {DisplaySettingsAnchor::miscellaneousSection, "miscellaneousSection"},
        {DisplaySettingsAnchor::nightShiftSection, "nightShiftSection"},
        {DisplaySettingsAnchor::profileSection, "profileSection"},
        {DisplaySettingsAnchor::resolutionSection, "resolutionSection"},
        {DisplaySettingsAnchor::sidecarSection, "sidecarSection"},
    }};
};

// Sections of the Login Items pane.
enum class LoginItemsSettingsAnchor {
    extensionItems,
};

template <>
struct RawEnumTable<LoginItemsSettingsAnchor> {
    static constexpr std::string_view name = "LoginItemsSettingsAnchor";
    static constexpr std::array<std::pair<LoginItemsSettingsAnchor, std::string_view>, 1> entries{{
        {LoginItemsSettingsAnchor::extensionItems, "ExtensionItems"},
    }};
};

// Extension points listed by the extensions pane; the raw value is the identifier itself.
enum class LoginItemsExtensionPointIdentifier {
    shareServices,
    actions,
    photoEditing,
    spotlightImporter,
    quickLookPreview,
    fileProvider,
    finderQuickActions,
    touchBarQuickActions,
    legacyDockTiles,
    legacySpotlightImporter,
};

template <>
struct RawEnumTable<LoginItemsExtensionPointIdentifier> {
    static constexpr std::string_view name = "LoginItemsExtensionPointIdentifier";
    static constexpr std::array<std::pair<LoginItemsExtensionPointIdentifier, std::string_view>, 10> entries{{
        {LoginItemsExtensionPointIdentifier::shareServices, "com.apple.share-services"},
        {LoginItemsExtensionPointIdentifier::actions, "com.apple.ui-services"},
        {LoginItemsExtensionPointIdentifier::photoEditing, "com.apple.photo-editing"},
        {LoginItemsExtensionPointIdentifier::spotlightImporter, "com.apple.spotlight.import"},
        {LoginItemsExtensionPointIdentifier::quickLookPreview, "com.apple.quicklook.preview"},
        {LoginItemsExtensionPointIdentifier::fileProvider, "com.apple.fileprovider-nonui"},
        {LoginItemsExtensionPointIdentifier::finderQuickActions, "com.apple.finder-quick-actions"},
        {LoginItemsExtensionPointIdentifier::touchBarQuickActions, "com.apple.touchbar-quick-actions"},
        {LoginItemsExtensionPointIdentifier::legacyDockTiles, "com.apple.extensionkit.legacy-plugins.docktiles"},
        {LoginItemsExtensionPointIdentifier::legacySpotlightImporter, "com.apple.extensionkit.legacy-plugins.spotlight-importer"},
    }};
};

// Sections of the Wi-Fi pane.
enum class WiFiSettingsAnchor {
    advanced,
    generalDetails,
    generalJoin,
    generalMain,
};

template <>
struct RawEnumTable<WiFiSettingsAnchor> {
    static constexpr std::string_view name = "WiFiSettingsAnchor";
    static constexpr std::array<std::pair<WiFiSettingsAnchor, std::string_view>, 4> entries{{
        {WiFiSettingsAnchor::advanced, "Advanced"},
        {WiFiSettingsAnchor::generalDetails, "General_Details"},
        {WiFiSettingsAnchor::generalJoin, "General_Join"},
        {WiFiSettingsAnchor::generalMain, "General_Main"},
    }};
};

// Sections of the VPN pane ("VPN on Demand" keeps its spaces; URLs carry them encoded).
enum class VPNSettingsAnchor {
    vpn,
    vpnOnDemand,
};

template <>
struct RawEnumTable<VPNSettingsAnchor> {
    static constexpr std::string_view name = "VPNSettingsAnchor";
    static constexpr std::array<std::pair<VPNSettingsAnchor, std::string_view>, 2> entries{{
        {VPNSettingsAnchor::vpn, "VPN"},
        {VPNSettingsAnchor::vpnOnDemand, "VPN on Demand"},
    }};
};

// Sections of the Accessibility pane, in the three spellings the pane uses.
enum class AccessibilitySettingsAnchor {
    display,
    text,
    pointer,
    mouseAndTrackpad,
    headphones,
    voiceOver,
    zoom,
    displayFilters,
    backgroundSounds,
    spokenContent,
    captions,
    audio,
    descriptions,
    keyboard,
    fullKeyboardAccess,
    stickyKeys,
    slowKeys,
    virtualKeyboard,
    voiceControl,
    switchControl,
    alternateMouseButtons,
    headMouse,
    mouseKeys,
    hoverText,
    hoverTyping,
    liveSpeech,
    personalVoice,
    siri,
    shortcut,
};

template <>
struct RawEnumTable<AccessibilitySettingsAnchor> {
    static constexpr std::string_view name = "AccessibilitySettingsAnchor";
    static constexpr std::array<std::pair<AccessibilitySettingsAnchor, std::string_view>, 29> entries{{
        {AccessibilitySettingsAnchor::display, "display"},
        {AccessibilitySettingsAnchor::text, "text"},
        {AccessibilitySettingsAnchor::pointer, "pointer"},
        {AccessibilitySettingsAnchor::mouseAndTrackpad, "mouseAndTrackpad"},
        {AccessibilitySettingsAnchor::headphones, "headphones"},
        {AccessibilitySettingsAnchor::voiceOver, "AX_feature.voiceOver"},
        {AccessibilitySettingsAnchor::zoom, "AX_feature.zoom"},
        {AccessibilitySettingsAnchor::displayFilters, "AX_feature.displayFilters"},
        {AccessibilitySettingsAnchor::backgroundSounds, "AX_feature.backgroundSounds"},
        {AccessibilitySettingsAnchor::spokenContent, "AX_FEATURE_SPOKENCONTENT"},
        {AccessibilitySettingsAnchor::captions, "AX_FEATURE_CAPTIONS"},
        {AccessibilitySettingsAnchor::audio, "AX_FEATURE_AUDIO"},
        {AccessibilitySettingsAnchor::descriptions, "AX_FEATURE_DESCRIPTIONS"},
        {AccessibilitySettingsAnchor::keyboard, "AX_FEATURE_KEYBOARD"},
        {AccessibilitySettingsAnchor::fullKeyboardAccess, "AX_feature.fullKeyboardAccess"},
        {AccessibilitySettingsAnchor::stickyKeys, "AX_feature.stickyKeys"},
        {AccessibilitySettingsAnchor::slowKeys, "AX_feature.slowKeys"},
        {AccessibilitySettingsAnchor::virtualKeyboard, "AX_feature.virtualKeyboard"},
        {AccessibilitySettingsAnchor::voiceControl, "AX_feature.voiceControl"},
        {AccessibilitySettingsAnchor::switchControl, "AX_feature.switchControl"},
        {AccessibilitySettingsAnchor::alternateMouseButtons, "AX_feature.alternateMouseButtons"},
        {AccessibilitySettingsAnchor::headMouse, "AX_feature.headMouse"},
        {AccessibilitySettingsAnchor::mouseKeys, "AX_feature.mouseKeys"},
        {AccessibilitySettingsAnchor::hoverText, "AX_feature.hoverText"},
        {AccessibilitySettingsAnchor::hoverTyping, "AX_feature.hoverTyping"},
        {AccessibilitySettingsAnchor::liveSpeech, "AX_feature.liveSpeech"},
        {AccessibilitySettingsAnchor::personalVoice, "AX_FEATURE_PERSONALVOICE"},
        {AccessibilitySettingsAnchor::siri, "AX_FEATURE_SIRI"},
        {AccessibilitySettingsAnchor::shortcut, "AX_FEATURE_SHORTCUT"},
    }};
};

}  // namespace kestrum
