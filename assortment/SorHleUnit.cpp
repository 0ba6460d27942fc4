#include "SorHleUnit.h"

#include "EditVarno.h"
#include "Table.h"
#include "TextRoutines.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

struct TOptionDef {
    const char16_t* caption;
    const char16_t* index;
    const char16_t* field;
    bool enabled;
};

// Top to bottom as the dialog shows them.
const TOptionDef kOptionDefs[TSorHle::kOptionCount] = {
    {u"Hledej název položky sortimentu", u"NAC", u"SOR_NAC", true},
    {u"Hledej dle čísla karty sortimentu", u"KAV", u"SOR_KAV", true},
    {u"Hledej dle aliasu názvu", u"ALI", u"SOR_ALI", false},
    {u"Hledej dle kódu dodavatele", u"KDO", u"SOR_KDO", false},
    {u"Hledej dle kódu výrobce", u"KVY", u"SOR_KVY", false},
    {u"Hledej částku prodejní cenu ", u"PC1", u"SOR_PC1", true},
};

}  // namespace

TSorHle::TSorHle(TTable& sortiment, QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint), m_sortiment(sortiment)
{
    setWindowTitle(u"Hledej položku databáze"_s);

    auto* layout = new QVBoxLayout(this);
    for (const TOptionDef& def : kOptionDefs) {
        auto* option = new QRadioButton(QString::fromUtf16(def.caption), this);
        option->setEnabled(def.enabled);
        m_options.append(option);
        layout->addWidget(option);
    }
    m_text = new TEditVarno(this);
    m_text->setObjectName(u"TextEdit"_s);
    m_text->SetConvertDecimalSymbol(true);
    m_hledej = new QPushButton(u"&Hledej"_s, this);
    m_storno = new QPushButton(u"Storno"_s, this);
    connect(m_hledej, &QPushButton::clicked, this, &TSorHle::HledejClick);
    connect(m_storno, &QPushButton::clicked, this, [this] { done(kAbort); });

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_hledej);
    buttons->addWidget(m_storno);
    layout->addSpacing(6);
    layout->addWidget(new QLabel(u"Hledej tento text"_s, this));
    layout->addWidget(m_text);
    layout->addSpacing(6);
    layout->addLayout(buttons);
    m_text->setMinimumWidth(260);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    for (int i = 1; i < m_options.size(); ++i)
        setTabOrder(m_options[i - 1], m_options[i]);
    setTabOrder(m_options.last(), m_text);
    setTabOrder(m_text, m_hledej);
    setTabOrder(m_hledej, m_storno);
    m_options[kNazev]->setChecked(true);
    adjustSize();
}

QString TSorHle::IndexOf(TOption option)
{
    return QString::fromUtf16(kOptionDefs[option].index);
}

QString TSorHle::KeyText(TOption option, const QString& text)
{
    return option == kKarta ? Trim(text) : TrimRight(text);
}

TSorHle::TOption TSorHle::SelectedOption() const
{
    for (int i = 0; i < m_options.size(); ++i)
        if (m_options[i]->isChecked())
            return TOption(i);
    return kNazev;
}

void TSorHle::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    FormShow();
}

void TSorHle::FormShow()
{
    m_text->SetEditType(TEditType::String);
    m_text->SetText(QString());
    m_hledej->setEnabled(false);
    m_options[kNazev]->setChecked(true);
    m_options[kNazev]->setFocus(Qt::OtherFocusReason);
}

void TSorHle::SetEntryKind()
{
    m_text->SetEditType(SelectedOption() == kCena ? TEditType::Float : TEditType::String);
}

bool TSorHle::FormKeyDown(QKeyEvent* event)
{
    QWidget* focus = QApplication::focusWidget();
    if (event->key() == Qt::Key_Escape) {
        reject();
        return true;
    }
    if (m_options.contains(focus)) {
        // The kind of entry follows the option selected when a key is pressed on the options.
        SetEntryKind();
        if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
            m_text->setFocus(Qt::TabFocusReason);
            return true;
        }
        return false;
    }
    // Something typed: there is a text to search for. Before the key itself, so that Enter, acting
    // as Tab, moves on to the enabled button.
    if (focus == m_text)
        m_hledej->setEnabled(true);
    return false;
}

void TSorHle::HledejClick()
{
    // The dialog closes with OK even when the text cannot be a key (the error has been shown).
    setResult(QDialog::Accepted);
    try {
        Search();
    } catch (...) {
        TApplication::ShowCurrentException();
    }
    accept();
}

void TSorHle::Search()
{
    const TOption option = SelectedOption();
    m_sortiment.SetIndexName(IndexOf(option));
    const QString text = KeyText(option, m_text->text());
    if (option != kCena) {
        m_sortiment.FindNearest({text});
        return;
    }
    // A price is a number in the station's format; anything else (an empty text included) is the
    // conversion error of the price field.
    const TFieldDef& price = *m_sortiment.Def().Field(QString::fromUtf16(kOptionDefs[kCena].field));
    const QVariant key = FieldValues::Normalize(price, text);
    if (key.isNull())
        throw EDatabaseError(u"'%1' is not a valid floating point value"_s.arg(text));
    m_sortiment.FindNearest({key});
}
