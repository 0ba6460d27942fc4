#include "AssortmentPickers.h"

#include "DataUnit.h"
#include "PrehlNakCenUnit.h"
#include "PrehledSortimentuUnit.h"

#include <QApplication>
#include <QPointer>

namespace {

QWidget* PickerOwner(const QPointer<QWidget>& owner)
{
    if (QWidget* modal = QApplication::activeModalWidget())
        return modal;
    if (QWidget* active = QApplication::activeWindow())
        return active;
    return owner.data();
}

// OK on an empty list picks nothing.
bool Picked(int result, const TTable& table)
{
    return result == QDialog::Accepted && table.Active() && table.HasRecord();
}

}  // namespace

void InstallAssortmentPickers(TData& data, QWidget* owner)
{
    QPointer<QWidget> guardedOwner(owner);
    data.PickSortiment = [&data, guardedOwner](int top, int left) {
        TPrehledSortimentu picker(data, PickerOwner(guardedOwner));
        picker.move(left, top);
        const int result = picker.exec();
        return Picked(result, *data.ffSortiment);
    };
    data.PickSklad = [&data, guardedOwner](int top, int left) {
        TPrehlNakCen picker(data, PickerOwner(guardedOwner));
        picker.move(left, top);
        const int result = picker.exec();
        return Picked(result, *data.ffSklad);
    };
}
