#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// Field and table definitions shared by the program (cursors, grids) and by the schema tool.

enum class TFieldType { String, Float, Smallint, Integer, AutoInc, Boolean, Date, DateTime, Time };

struct TFieldDef {
    QString name;
    TFieldType type = TFieldType::String;
    int size = 0;             // characters, text fields only
    QString caption{};        // empty: the field name is shown
    QString displayFormat{};  // "#,##0.00", "dd.mm.yyyy", "Ano;Ne" for booleans, ...
    QString editFormat{};     // number pattern used while the field is edited
    bool calculated = false;  // not stored; filled by the table's calculation handler
    bool czech = false;       // text sorted and compared in Czech alphabetical order

    QString DisplayLabel() const { return caption.isEmpty() ? name : caption; }
    bool IsText() const { return type == TFieldType::String; }
};

struct TIndexDef {
    QString name;
    QStringList fields;
    bool descending = false;  // the whole key, identity included, runs from the highest
    bool unique = false;
};

struct TTableDef {
    QString prefix;       // "SOR"
    QString builtInName;  // "SOR0001"
    QString component;    // "ffSortiment"
    QList<TFieldDef> fields;
    QList<TIndexDef> indexes;

    int FieldIndex(const QString& name) const;  // -1 when unknown; case-insensitive
    const TFieldDef* Field(const QString& name) const;
    const TIndexDef* Index(const QString& name) const;  // case-insensitive
    // The stable row identity: the auto-increment field, or the hidden column "REC_ID".
    QString IdentityColumn() const;
    bool HasAutoInc() const;
    bool IsKeyField(const QString& name) const;  // part of any named index
};

// Every table definition, by prefix ("SOR", "LEG", ..., "DOK" for the in-memory receipt lines).
const TTableDef& TableDef(const QString& prefix);
const QList<const TTableDef*>& AllTableDefs();  // the server tables, not DokladObsah

// The table's name for an organisation: per-organisation tables take the prefix and the organisation
// code ("SOR" + "0007"); the shared ones keep their fixed names.
QString TableNameFor(const TTableDef& def, const QString& organisation);
bool IsPerOrganisation(const TTableDef& def);

// Name of the pseudo-index that means "no index selected": records in the order they were stored.
inline constexpr char16_t kSequentialIndex[] = u"Sequential Access Index";

// Hidden identity column of tables without an auto-increment field.
inline constexpr char16_t kRecIdColumn[] = u"REC_ID";
