#pragma once

#include "PasswordRules.h"
#include "mnemora_layout.h"

#include <string>
#include <string_view>

namespace mnemora {

// The texts of the dialog that fits a code to a site's rules, UTF-8, in one
// language. "%s" and "%d" are filled in by the behaviour, never by a window.
struct FitDialogTexts {
    const char *menuEntry; // the code boxes' context menu entry that opens the dialog
    // Labels and buttons carry their access key after "&"; a window that
    // names a control to assistive technology drops it.
    const char *title;
    const char *site;     // label of the site field, with its access key
    const char *siteHelp; // what the site field takes
    const char *rule;     // label of the rule field
    const char *ruleHelp;
    const char *presets; // caption of the preset buttons
    const char *withSymbol;
    const char *atMost;
    const char *digitsOnly;
    const char *length;   // label of the N the presets take
    const char *code;     // label of the fitted code
    const char *words;    // accessible name of the rule in words
    const char *strength; // "%d" the bits
    const char *plain;    // added to the words when the plain code already fits
    const char *copy;
    const char *close;
    const char *needPassword;
    const char *needKey;
    const char *tooLong;
    const char *needRule;
    const char *unknownSite; // "%s" the site as understood
    const char *badRule;     // "%s" the part, "%s" what is wrong with it
    const char *unfit;       // what is wrong with a rule no code could be drawn for
};

const FitDialogTexts &FitTexts(RuleLanguage language) noexcept;

// The dialog speaks the language its window speaks.
constexpr RuleLanguage RuleLanguageOf(layout::Language language) noexcept
{
    return language == layout::Language::English ? RuleLanguage::English : RuleLanguage::Chinese;
}

// A label or button text as assistive technology names the control: without
// its access key ("&N" or a bracketed "(&N)") and a closing colon.
std::string AccessibleText(std::string_view label);

// What the dialog does when its behaviour asks, in the window's toolkit.
class FitDialogPort {
public:
    // Writes the rule field; the window reports the change back through
    // RuleEdited, as it does for typing.
    virtual void SetRuleText(std::string_view rule) = 0;
    // A code fits: the code box, the rule in words and the strength; the
    // message line is emptied.
    virtual void ShowFitted(std::u16string_view code, const std::string &words, const std::string &strength)
        = 0;
    // No code: the code box, the words and the strength are emptied and the
    // message line says why.
    virtual void ShowProblem(const std::string &message) = 0;

protected:
    ~FitDialogPort() = default;
};

// The rules of the dialog, whatever draws it. It works on the password and
// key the main window holds when each change is reported, and keeps neither.
//
// The code is fitted again after every change of the rule field; the site
// field and the presets only write a rule there, so what is fitted is always
// what the rule field shows and can be typed again elsewhere.
class FitDialogBehaviour {
public:
    // The N of the presets: its range and where it starts.
    static constexpr int LengthMinimum = 4;
    static constexpr int LengthMaximum = 64;
    static constexpr int LengthDefault = 12;

    FitDialogBehaviour(FitDialogPort &port, RuleLanguage language) noexcept;

    FitDialogBehaviour(const FitDialogBehaviour &) = delete;
    FitDialogBehaviour &operator=(const FitDialogBehaviour &) = delete;

    const FitDialogTexts &Texts() const noexcept { return m_texts; }

    // The dialog opened, or either input of the main window changed.
    void Opened(std::u16string_view password, std::u16string_view key, std::string_view rule);

    // The site field changed: a site whose rules are bundled writes them
    // into the rule field; an unknown one says so and leaves it as it was.
    // rule: what the rule field holds now.
    void SiteEdited(
        std::u16string_view password, std::u16string_view key, std::string_view site, std::string_view rule);

    // The rule field changed.
    void RuleEdited(std::u16string_view password, std::u16string_view key, std::string_view rule);

    // A preset button: its rule is written into the rule field. The length
    // is brought into range first.
    void PresetChosen(std::u16string_view password, std::u16string_view key, std::string_view rule,
        RulePreset preset, int length);

    // The host a typed site names: a pasted address loses its scheme, user,
    // port and path, and a trailing dot; letters are lowered.
    static std::string SiteHost(std::string_view site);

private:
    // Writes a rule into the field that shows `shown`.
    void WriteRule(
        std::u16string_view password, std::u16string_view key, std::string_view shown, std::string_view rule);
    void Fit(std::u16string_view password, std::u16string_view key, std::string_view rule);

    FitDialogPort &m_port;
    const FitDialogTexts &m_texts;
    RuleLanguage m_language;
};

} // namespace mnemora
