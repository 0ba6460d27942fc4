#pragma once

#include "DataSource.h"

#include <QObject>
#include <QPointer>

#include <optional>

// The binding of one data-aware control to one field of a data source: resolves the field, tells the
// control when to show the field again, and writes the control's text into the field.
class TFieldLink final : public QObject {
    Q_OBJECT
public:
    TFieldLink(TDataLink* control, QObject* parent);
    ~TFieldLink() override;

    TDataSource* DataSource() const { return m_source; }
    void SetDataSource(TDataSource* source);
    QString DataField() const { return m_dataField; }
    // Throws EDatabaseError when the dataset has no field of that name.
    void SetDataField(const QString& name);

    TDataSet* DataSet() const;
    // The field's definition, or null when the control is not bound.
    const TFieldDef* FieldDef() const;
    std::optional<TField> Field() const;
    // Bound, and the dataset has a current record to show.
    bool Active() const;
    bool Editing() const;
    // The field's text for editing (edit format) or for display; empty without a record.
    QString FieldText(bool forEditing) const;

    // Puts the dataset into edit before a change. False when it cannot be changed; errors of the
    // dataset propagate.
    bool Edit();
    // Writes a text into the field (an empty text clears it); conversion errors propagate.
    void Write(const QString& text);

signals:
    // The control should show the field again: another record, a new state, the field changed.
    void Changed();
    // Another field or data source was bound.
    void Rebound();

private:
    void Resolve();

    TDataLink* m_control;
    QPointer<TDataSource> m_source;
    QString m_dataField;
    int m_fieldIndex = -1;
};
