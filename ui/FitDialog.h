#pragma once

#include "FitDialogBehaviour.h"

#include <QDialog>
#include <QString>

#include <functional>
#include <utility>

class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;

namespace mnemora {

class TextBox;

// The small dialog that fits a code to a site's rules, opened from the code
// boxes' context menu. It carries out FitDialogBehaviour with Qt's widgets.
//
// Its children are named for tests and scripts: site, rule, withSymbol,
// atMost, digitsOnly, length, code, words, strength, message, copy, close.
class FitDialog final : public QDialog, private FitDialogPort {
    Q_OBJECT

public:
    // The main window's password and key as they are now.
    using Inputs = std::function<std::pair<QString, QString>()>;
    // The main window's copy of a code, with its clipboard markers and clear.
    using Copy = std::function<void(const QString &)>;

    FitDialog(Inputs inputs, Copy copy, RuleLanguage language, QWidget *parent);
    ~FitDialog() override;

protected:
    void done(int result) override;

private:
    void siteEdited();
    void ruleEdited();
    void presetChosen(RulePreset preset);

    // FitDialogPort
    void SetRuleText(std::string_view rule) override;
    void ShowFitted(std::u16string_view code, const std::string &words, const std::string &strength) override;
    void ShowProblem(const std::string &message) override;

    Inputs m_inputs;
    Copy m_copy;
    FitDialogBehaviour m_behaviour;
    QLineEdit *m_site = nullptr;
    QLineEdit *m_rule = nullptr;
    QSpinBox *m_length = nullptr;
    TextBox *m_code = nullptr;
    QLabel *m_words = nullptr;
    QLabel *m_strength = nullptr;
    QLabel *m_message = nullptr;
    QPushButton *m_copyButton = nullptr;
};

} // namespace mnemora
