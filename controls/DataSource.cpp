#include "DataSource.h"

TDataSource::TDataSource(QObject* parent) : QObject(parent) {}

TDataSource::TDataSource(TDataSet* dataSet, QObject* parent) : QObject(parent)
{
    SetDataSet(dataSet);
}

TDataSource::~TDataSource() = default;

void TDataSource::SetDataSet(TDataSet* dataSet)
{
    if (m_dataSet == dataSet)
        return;
    if (m_dataSet)
        disconnect(m_dataSet, nullptr, this, nullptr);
    m_dataSet = dataSet;
    if (dataSet) {
        for (auto signal : {&TDataSet::AfterOpen, &TDataSet::AfterClose, &TDataSet::AfterScroll,
                            &TDataSet::AfterPost, &TDataSet::AfterDelete, &TDataSet::AfterCancel})
            connect(dataSet, signal, this, &TDataSource::DataChanged);
        connect(dataSet, &TDataSet::StateChanged, this, &TDataSource::StateChanged);
        connect(dataSet, &TDataSet::FieldChanged, this, &TDataSource::FieldChanged);
        // A dataset destroyed under the controls leaves them empty.
        connect(dataSet, &QObject::destroyed, this, &TDataSource::DataSetChanged);
    }
    emit DataSetChanged();
}

TDataSetState TDataSource::State() const
{
    return m_dataSet ? m_dataSet->State() : TDataSetState::Inactive;
}

bool TDataSource::Editing() const
{
    const TDataSetState s = State();
    return s == TDataSetState::Edit || s == TDataSetState::Insert;
}

bool TDataSource::Edit()
{
    if (Editing())
        return true;
    if (State() != TDataSetState::Browse || !m_autoEdit)
        return false;
    m_dataSet->Edit();
    return Editing();
}

void TDataSource::UpdateRecord()
{
    const QList<TDataLink*> links = m_links;
    for (TDataLink* link : links)
        if (m_links.contains(link))
            link->UpdateData();
}

void TDataSource::AddLink(TDataLink* link)
{
    if (!m_links.contains(link))
        m_links.append(link);
}

void TDataSource::RemoveLink(TDataLink* link)
{
    m_links.removeAll(link);
}
