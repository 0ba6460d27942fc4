#pragma once

class QWidget;
class TData;

// Installs the data module's card and variant pickers (TData::PickSortiment, PickSklad): each opens
// its pick list modally at the given top and left and returns true when the operator closed it with
// OK on a record, the table then standing on it. The list is owned by the window in front (a dialog
// that asks for a card), else by `owner`.
void InstallAssortmentPickers(TData& data, QWidget* owner);
