#include "kestrum/KestrumPanelView.hpp"

#include "kestrum/AppDragSource.hpp"
#include "kestrum/InlineMarkdown.hpp"
#include "kestrum/KestrumController.hpp"
#include "kestrum/KestrumLocalizer.hpp"
#include "kestrum/StringFormat.hpp"

namespace kestrum {

HeaderDirectionIconPose headerDirectionIcon(bool isDragging) {
    HeaderDirectionIconPose pose;
    pose.isDragging = isDragging;
    pose.rotationDegrees = isDragging ? 0 : -10;
    pose.offsetY = isDragging ? 0 : 1;
    pose.scale = isDragging ? 1.08 : 1;
    pose.animationSeconds = 0.18;
    return pose;
}

std::string appDisplayName(const std::optional<URL>& preferredAppURL,
                           const std::optional<std::string>& localeIdentifier) {
    if (preferredAppURL) return appBundleDisplayName(*preferredAppURL);
    return KestrumLocalizer::string(LocalizationKey::appThisApp, EnglishText::appThisApp, localeIdentifier);
}

std::string paneDisplayTitle(const KestrumController& controller) {
    if (const auto& pane = controller.currentPane()) return localizedTitle(*pane, controller.localeIdentifier());
    return KestrumLocalizer::string(LocalizationKey::panePermission, EnglishText::panePermission,
                                    controller.localeIdentifier());
}

std::vector<StyledRun> headerTitle(std::string_view titleTemplate, const std::string& appName,
                                   const std::string& paneTitle) {
    // The names are data: the template's Markdown is read around them, never through them.
    const std::vector<std::string> names{appName, paneTitle};
    if (auto runs = parseInlineMarkdown(splitObjectTemplate(titleTemplate, names.size()), names)) return *runs;
    StyledRun plain;
    plain.text = formatObjectTemplate(titleTemplate, names);
    return {plain};
}

PanelContent makePanelContent(const KestrumController& controller,
                              const std::optional<std::string>& localeIdentifier) {
    const auto& controllerLocale = controller.localeIdentifier();
    const std::optional<URL> appURL = controller.preferredAppURL();

    PanelContent content;
    content.localeIdentifier = localeIdentifier;
    content.icon = headerDirectionIcon(controller.isDraggingApp());
    const std::string titleTemplate =
        KestrumLocalizer::string(LocalizationKey::panelTitle, EnglishText::panelTitle, controllerLocale);
    content.headerTitle = headerTitle(titleTemplate, appDisplayName(appURL, controllerLocale), paneDisplayTitle(controller));
    content.showsSettingsButton = !controller.isSettingsFrontmost();
    if (appURL) {
        // The label has no built-in text: a table without it shows the key itself.
        content.card = AppCardContent{*appURL, appBundleDisplayName(*appURL),
                                      KestrumLocalizer::string(LocalizationKey::dragLabel,
                                                               LocalizationKey::dragLabel, localeIdentifier)};
    }
    return content;
}

}  // namespace kestrum
