#include "FieldLink.h"

TFieldLink::TFieldLink(TDataLink* control, QObject* parent) : QObject(parent), m_control(control) {}

TFieldLink::~TFieldLink()
{
    if (m_source)
        m_source->RemoveLink(m_control);
}

void TFieldLink::SetDataSource(TDataSource* source)
{
    if (m_source == source)
        return;
    if (m_source) {
        m_source->RemoveLink(m_control);
        disconnect(m_source, nullptr, this, nullptr);
    }
    m_source = source;
    if (source) {
        source->AddLink(m_control);
        connect(source, &TDataSource::DataChanged, this, &TFieldLink::Changed);
        connect(source, &TDataSource::StateChanged, this, &TFieldLink::Changed);
        connect(source, &TDataSource::FieldChanged, this, [this](int i) {
            // Calculated fields follow every change of the record.
            if (i == m_fieldIndex || (FieldDef() && FieldDef()->calculated))
                emit Changed();
        });
        connect(source, &TDataSource::DataSetChanged, this, &TFieldLink::Resolve);
        connect(source, &QObject::destroyed, this, &TFieldLink::Resolve);
    }
    Resolve();
}

void TFieldLink::SetDataField(const QString& name)
{
    m_dataField = name;
    Resolve();
}

void TFieldLink::Resolve()
{
    m_fieldIndex = -1;
    TDataSet* ds = DataSet();
    if (ds && !m_dataField.isEmpty()) {
        m_fieldIndex = ds->FieldIndex(m_dataField);
        if (m_fieldIndex < 0) {
            emit Rebound();
            ds->FieldByName(m_dataField);  // throws the dataset's "field not found"
        }
    }
    emit Rebound();
}

TDataSet* TFieldLink::DataSet() const
{
    return m_source ? m_source->DataSet() : nullptr;
}

const TFieldDef* TFieldLink::FieldDef() const
{
    TDataSet* ds = DataSet();
    if (!ds || m_fieldIndex < 0)
        return nullptr;
    return &ds->Def().fields[m_fieldIndex];
}

std::optional<TField> TFieldLink::Field() const
{
    TDataSet* ds = DataSet();
    if (!ds || m_fieldIndex < 0)
        return std::nullopt;
    return TField(ds, m_fieldIndex);
}

bool TFieldLink::Active() const
{
    TDataSet* ds = DataSet();
    return ds && m_fieldIndex >= 0 && ds->Active();
}

bool TFieldLink::Editing() const
{
    return m_source && m_source->Editing();
}

QString TFieldLink::FieldText(bool forEditing) const
{
    if (!Active())
        return QString();
    const TField f = *Field();
    return forEditing ? f.EditText() : f.DisplayText();
}

bool TFieldLink::Edit()
{
    return m_source && m_source->Edit();
}

void TFieldLink::Write(const QString& text)
{
    std::optional<TField> f = Field();
    if (!f)
        return;
    if (m_source->State() == TDataSetState::Browse)
        m_source->Edit();
    if (text.isEmpty())
        f->Clear();
    else
        f->SetAsString(text);
}
