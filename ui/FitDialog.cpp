#include "FitDialog.h"

#include "Fonts.h"
#include "TextBox.h"

#include <QAccessible>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace mnemora {

namespace {

QString Text(const char *utf8)
{
    return QString::fromUtf8(utf8);
}

QString Text(const std::string &utf8)
{
    return QString::fromStdString(utf8);
}

std::u16string_view View(const QString &text)
{
    return {reinterpret_cast<const char16_t *>(text.constData()), static_cast<std::size_t>(text.size())};
}

template <typename T> T *Named(T *widget, const char *name, const char *label)
{
    widget->setObjectName(QLatin1String(name));
    widget->setAccessibleName(Text(AccessibleText(label)));
    return widget;
}

} // namespace

FitDialog::FitDialog(Inputs inputs, Copy copy, RuleLanguage language, QWidget *parent)
    : QDialog(parent)
    , m_inputs(std::move(inputs))
    , m_copy(std::move(copy))
    , m_behaviour(*this, language)
{
    const FitDialogTexts &texts = m_behaviour.Texts();
    setObjectName(QStringLiteral("FitDialog"));
    setWindowTitle(Text(texts.title));
    setModal(true);

    m_site = Named(new QLineEdit(this), "site", texts.site);
    m_site->setAccessibleDescription(Text(texts.siteHelp));
    m_site->setPlaceholderText(QStringLiteral("example.com"));
    m_rule = Named(new QLineEdit(this), "rule", texts.rule);
    m_rule->setAccessibleDescription(Text(texts.ruleHelp));
    m_rule->setToolTip(Text(texts.ruleHelp));
    m_rule->setMinimumWidth(360);

    auto *withSymbol = Named(new QPushButton(Text(texts.withSymbol), this), "withSymbol", texts.withSymbol);
    auto *atMost = Named(new QPushButton(Text(texts.atMost), this), "atMost", texts.atMost);
    auto *digitsOnly = Named(new QPushButton(Text(texts.digitsOnly), this), "digitsOnly", texts.digitsOnly);
    m_length = Named(new QSpinBox(this), "length", texts.length);
    m_length->setRange(FitDialogBehaviour::LengthMinimum, FitDialogBehaviour::LengthMaximum);
    m_length->setValue(FitDialogBehaviour::LengthDefault);

    // Read-only, and every copy of it goes through the main window's clipboard.
    m_code = Named(new TextBox(this), "code", texts.code);
    m_code->setReadOnly(true);
    m_code->setCopyHandedOver(true);
    m_code->setFont(OutputFont());
    m_words = Named(new QLabel(this), "words", texts.words);
    m_words->setWordWrap(true);
    m_words->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_strength = new QLabel(this);
    m_strength->setObjectName(QStringLiteral("strength"));
    m_message = new QLabel(this);
    m_message->setObjectName(QStringLiteral("message"));
    m_message->setWordWrap(true);
    m_message->setStyleSheet(QStringLiteral("color: #b00020"));

    m_copyButton = Named(new QPushButton(Text(texts.copy), this), "copy", texts.copy);
    auto *close = Named(new QPushButton(Text(texts.close), this), "close", texts.close);
    // Enter in a field neither copies nor closes by surprise.
    for (QPushButton *button : {withSymbol, atMost, digitsOnly, m_copyButton, close})
        button->setAutoDefault(false);

    auto *form = new QFormLayout;
    auto label = [this](const char *text, QWidget *buddy) {
        auto *shown = new QLabel(Text(text), this);
        shown->setBuddy(buddy);
        return shown;
    };
    form->addRow(label(texts.site, m_site), m_site);
    form->addRow(label(texts.rule, m_rule), m_rule);
    auto *presets = new QHBoxLayout;
    presets->addWidget(withSymbol);
    presets->addWidget(atMost);
    presets->addWidget(digitsOnly);
    presets->addWidget(label(texts.length, m_length));
    presets->addWidget(m_length);
    presets->addStretch();
    form->addRow(new QLabel(Text(texts.presets), this), presets);
    form->addRow(label(texts.code, m_code), m_code);
    form->addRow(QString(), m_words);
    form->addRow(QString(), m_strength);
    form->addRow(QString(), m_message);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_copyButton);
    buttons->addWidget(close);
    auto *all = new QVBoxLayout(this);
    all->addLayout(form);
    all->addLayout(buttons);

    setTabOrder(m_site, m_rule);
    setTabOrder(m_rule, withSymbol);
    setTabOrder(withSymbol, atMost);
    setTabOrder(atMost, digitsOnly);
    setTabOrder(digitsOnly, m_length);
    setTabOrder(m_length, m_code);
    setTabOrder(m_code, m_copyButton);
    setTabOrder(m_copyButton, close);

    connect(m_site, &QLineEdit::textChanged, this, &FitDialog::siteEdited);
    connect(m_rule, &QLineEdit::textChanged, this, &FitDialog::ruleEdited);
    connect(withSymbol, &QPushButton::clicked, this, [this] { presetChosen(RulePreset::WithSymbol); });
    connect(atMost, &QPushButton::clicked, this, [this] { presetChosen(RulePreset::AtMost); });
    connect(digitsOnly, &QPushButton::clicked, this, [this] { presetChosen(RulePreset::DigitsOnly); });
    connect(m_code, &TextBox::copyRequested, this, [this] { m_copy(m_code->selectedText()); });
    connect(m_copyButton, &QPushButton::clicked, this, [this] { m_copy(m_code->text()); });
    connect(close, &QPushButton::clicked, this, &QDialog::reject);

    const auto [password, key] = m_inputs();
    m_behaviour.Opened(View(password), View(key), m_rule->text().toStdString());
    m_site->setFocus();
}

FitDialog::~FitDialog() = default;

void FitDialog::done(int result)
{
    // The code goes with the dialog; the heap it was in is wiped when freed.
    m_code->clear();
    QDialog::done(result);
}

void FitDialog::siteEdited()
{
    const auto [password, key] = m_inputs();
    m_behaviour.SiteEdited(
        View(password), View(key), m_site->text().toStdString(), m_rule->text().toStdString());
}

void FitDialog::ruleEdited()
{
    const auto [password, key] = m_inputs();
    m_behaviour.RuleEdited(View(password), View(key), m_rule->text().toStdString());
}

void FitDialog::presetChosen(RulePreset preset)
{
    const auto [password, key] = m_inputs();
    m_behaviour.PresetChosen(
        View(password), View(key), m_rule->text().toStdString(), preset, m_length->value());
}

void FitDialog::SetRuleText(std::string_view rule)
{
    m_rule->setText(QString::fromUtf8(rule.data(), static_cast<qsizetype>(rule.size())));
    // A written rule is read from its start.
    m_rule->setCursorPosition(0);
}

void FitDialog::ShowFitted(std::u16string_view code, const std::string &words, const std::string &strength)
{
    m_code->setText(QString::fromUtf16(code.data(), static_cast<qsizetype>(code.size())));
    m_words->setText(Text(words));
    m_strength->setText(Text(strength));
    m_message->clear();
    m_copyButton->setEnabled(true);
}

void FitDialog::ShowProblem(const std::string &message)
{
    m_code->clear();
    m_words->clear();
    m_strength->clear();
    m_message->setText(Text(message));
    m_copyButton->setEnabled(false);
    // Said by a screen reader as it changes, while the focus stays in the field.
    QAccessibleEvent changed(m_message, QAccessible::NameChanged);
    QAccessible::updateAccessibility(&changed);
}

} // namespace mnemora
