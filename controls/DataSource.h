#pragma once

#include "DataSet.h"

#include <QList>
#include <QObject>
#include <QPointer>

// A control bound to a field of a data source.
class TDataLink {
public:
    virtual ~TDataLink() = default;
    // Writes the control's pending change into its field; throws EDatabaseError when the field
    // refuses the text.
    virtual void UpdateData() = 0;
};

// Connects data-aware controls to one dataset: forwards the dataset's notifications and puts it into
// edit when a control starts changing a field.
class TDataSource final : public QObject {
    Q_OBJECT
public:
    explicit TDataSource(QObject* parent = nullptr);
    explicit TDataSource(TDataSet* dataSet, QObject* parent = nullptr);
    ~TDataSource() override;

    TDataSet* DataSet() const { return m_dataSet; }
    void SetDataSet(TDataSet* dataSet);

    // A browsing dataset goes into edit on the first change in a bound control (default on).
    bool AutoEdit() const { return m_autoEdit; }
    void SetAutoEdit(bool on) { m_autoEdit = on; }

    TDataSetState State() const;
    bool Editing() const;  // edit or insert

    // Puts the dataset into edit for a control that is about to change a field. False when it cannot
    // be changed from a control (closed, or browsing with AutoEdit off). Errors of the dataset's own
    // Edit (a record held by another till) propagate as EDatabaseError.
    bool Edit();

    // Writes the pending changes of all bound controls into their fields. Call it before posting a
    // record while a bound control may still hold text it has not written (it writes when left).
    void UpdateRecord();

    void AddLink(TDataLink* link);
    void RemoveLink(TDataLink* link);

signals:
    // The current record is another one or was read again: open, close, scroll, post, cancel, delete.
    void DataChanged();
    void FieldChanged(int fieldIndex);
    void StateChanged();
    // Another dataset was assigned.
    void DataSetChanged();

private:
    QPointer<TDataSet> m_dataSet;
    QList<TDataLink*> m_links;
    bool m_autoEdit = true;
};
