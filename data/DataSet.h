#pragma once

#include "DbError.h"
#include "Schema.h"

#include <QDate>
#include <QDateTime>
#include <QLocale>
#include <QObject>
#include <QTime>
#include <QVariant>
#include <QVector>

#include <functional>

enum class TDataSetState { Inactive, Browse, Edit, Insert };

class TDataSet;

// Access to one field of a dataset's current record, in the manner of FieldByName(...).AsString.
class TField {
public:
    TField(TDataSet* ds, int index) : m_ds(ds), m_index(index) {}

    const TFieldDef& Def() const;
    QString FieldName() const { return Def().name; }
    QString DisplayLabel() const { return Def().DisplayLabel(); }
    int Index() const { return m_index; }

    QVariant Value() const;
    void SetValue(const QVariant& v);
    bool IsNull() const;
    void Clear() { SetValue(QVariant()); }

    QString AsString() const;
    void SetAsString(const QString& s);
    double AsFloat() const;
    void SetAsFloat(double v) { SetValue(v); }
    int AsInteger() const;
    void SetAsInteger(int v) { SetValue(v); }
    bool AsBoolean() const;
    void SetAsBoolean(bool v) { SetValue(v); }
    QDateTime AsDateTime() const;
    void SetAsDateTime(const QDateTime& v) { SetValue(v); }
    QDate AsDate() const;
    void SetAsDate(const QDate& v) { SetValue(v); }
    QTime AsTime() const;

    // Text shown in lists and read-only fields, after the display format and the station's locale.
    QString DisplayText() const;
    // Text put in an edit box: the edit format when the field has one, else the plain value.
    QString EditText() const;

private:
    TDataSet* m_ds;
    int m_index;
};

// Value conversions shared by the cursors, the in-memory table and the grids.
namespace FieldValues {
// A text longer than its field: cut when it is stored; kept whole when it is looked for, so that it
// matches no stored value instead of the value it starts with.
enum class TTextFit { Cut, Whole };
// Brings a value to the field's type: text cut to the field's size (see TTextFit), numbers to
// double/int, ... . Throws EDatabaseError for text that is not a value of the type.
QVariant Normalize(const TFieldDef& f, const QVariant& v, TTextFit fit = TTextFit::Cut);
// The first `size` UTF-16 units of a text, one fewer where the cut would split a character.
QString CutText(const QString& s, int size);
// A two-digit year placed in the hundred years around the current year (26 -> 2026, 99 -> 1999).
int ExpandTwoDigitYear(int year, int currentYear);
QString AsString(const TFieldDef& f, const QVariant& v);
// Display format rendering: "#,##0.00", "##0.00", "#,##0.000", "dd.mm.yyyy", "hh:mm:ss", "Ano;Ne".
QString Display(const TFieldDef& f, const QVariant& v, const QLocale& locale);
QString FormatFloat(const QString& pattern, double v, const QLocale& locale);
// Shortest text that reads back as the same double, with the locale's decimal separator.
QString FloatToStr(double v, const QLocale& locale);
// The general number display: at most 15 significant digits in the shortest form, so that binary
// noise such as 0.1 + 0.2 = 0.30000000000000004 reads "0,3".
QString GeneralFloat(double v, const QLocale& locale);
}  // namespace FieldValues

// The record-at-a-time interface shared by the server tables and the in-memory receipt lines.
class TDataSet : public QObject {
    Q_OBJECT
public:
    explicit TDataSet(const TTableDef& def, QObject* parent = nullptr);
    ~TDataSet() override = default;

    const TTableDef& Def() const { return m_def; }
    int FieldCount() const { return int(m_def.fields.size()); }
    TField FieldByName(const QString& name);  // throws for an unknown field
    TField Fields(int i) { return TField(this, i); }
    int FieldIndex(const QString& name) const { return m_def.FieldIndex(name); }

    TDataSetState State() const { return m_state; }
    bool Active() const { return m_state != TDataSetState::Inactive; }
    bool Modified() const { return m_modified; }

    virtual void Open() = 0;
    virtual void Close() = 0;
    virtual void First() = 0;
    virtual void Last() = 0;
    virtual void Next() = 0;
    virtual void Prior() = 0;
    virtual bool IsEmpty() = 0;
    virtual int RecordCount() = 0;
    virtual void Append() = 0;
    virtual void Edit() = 0;
    virtual void Post() = 0;
    virtual void Cancel() = 0;
    virtual void Delete() = 0;
    virtual bool Locate(const QString& fields, const QVariantList& values) = 0;
    bool Eof() const { return m_eof; }
    bool Bof() const { return m_bof; }
    void Insert() { Append(); }

    // Calculated fields of the current record; run after each fetch and each field change in an edit.
    std::function<void(TDataSet&)> OnCalcFields;

    QVariant GetFieldValue(int i) const { return m_buf.value(i); }
    void SetFieldValue(int i, const QVariant& v);
    QLocale Locale() const { return m_locale; }
    void SetLocale(const QLocale& l) { m_locale = l; }

signals:
    void AfterOpen();
    void AfterClose();
    void AfterScroll();
    void AfterPost();
    void AfterDelete();
    void AfterCancel();
    void StateChanged();
    void FieldChanged(int fieldIndex);

protected:
    void SetState(TDataSetState s);
    void CheckActive() const;
    void CheckBrowse() const;  // not in edit or insert
    void RunCalc();
    void ClearBuffer();
    void StartEditBuffer(bool inserting);

    const TTableDef& m_def;
    QVector<QVariant> m_buf;    // current record, one slot per field definition
    QVector<QVariant> m_saved;  // record as it was when edit started
    QVector<bool> m_changed;    // fields changed during the edit
    bool m_modified = false;
    bool m_eof = true;
    bool m_bof = true;
    bool m_inCalc = false;
    TDataSetState m_state = TDataSetState::Inactive;
    QLocale m_locale;  // the application's default locale (the station's regional settings)
};
