#pragma once

#include <QObject>
#include <QString>

#include <functional>

// Event handlers of the entry controls. A dialog assigns its own member functions, for example
//   DBEditVarno1->OnValid = std::bind_front(&TLegHlaEdit::DBEditVarno1Valid, this);
// An event without a handler is simply not raised; some controls behave differently when a handler
// is assigned (a space is not typed while OnClickSpace has one).

// The sender is the control that raised the event.
using TNotifyEvent = std::function<void(QObject* sender)>;

// Shift, Ctrl and Alt as they were at the last key down in the field.
using TShiftState = Qt::KeyboardModifiers;

// The field was left with Tab, Shift+Tab or Enter acting as Tab.
using TTabExitEvent = std::function<void(QObject* sender, TShiftState shift)>;

// Checks the text of a bound field as it is left; may rewrite the text, and may set valid to false to
// keep the focus in the field and the record field unchanged.
using TValidEvent = std::function<void(QObject* sender, QString& text, bool& valid)>;
