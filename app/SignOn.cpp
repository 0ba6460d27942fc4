#include "DataUnit.h"

#include "AppLog.h"
#include "Messages.h"
#include "ProgramLog.h"
#include "TableGuards.h"
#include "TextRoutines.h"

#include <QLocale>

using namespace Qt::StringLiterals;

namespace {

constexpr int kLoginNameSize = 10;

// The first user whose login name is exactly `name`; a name longer than the field matches nobody.
bool FindUser(TTable& users, const QString& name)
{
    if (name.size() > kLoginNameSize)
        return false;
    return users.Locate(u"USR_LNA"_s, {name});
}

}  // namespace

QString TData::AutoLoginName(const QString& osUserName)
{
    return QLocale().toUpper(Trim(osUserName).left(kLoginNameSize));
}

QString TData::UpperAsciiLetters(const QString& text)
{
    QString s = text;
    for (QChar& c : s)
        if (c >= u'a' && c <= u'z')
            c = QChar(c.unicode() - (u'a' - u'A'));
    return s;
}

void TData::SignOn()
{
    if (LoginForm) {
        // An error of the users table is shown; the run goes on without a signed-on operator.
        try {
            DialogSignOn();
        } catch (const EDatabaseError& e) {
            ShowError(e.Message());
        } catch (const std::exception& e) {
            ShowError(QString::fromLocal8Bit(e.what()));
        }
        return;
    }
    // The station signs on by itself; an error of the users table leaves the default operator.
    try {
        if (!AutoSignOn())
            DialogSignOn();
    } catch (const std::exception& e) {
        qCWarning(lcApp).noquote() << "automatic sign-on failed, the default operator stays:"
                                   << QString::fromLocal8Bit(e.what());
    }
}

bool TData::AutoSignOn()
{
    const QString name = AutoLoginName(OsUserName());
    TCloseIfOpened open(*ffUzivatele, TCloseIfOpened::OpenNow);
    if (!FindUser(*ffUzivatele, name))
        return false;
    TakeOperator(*ffUzivatele);
    return true;
}

void TData::DialogSignOn()
{
    QString name, password;
    if (!LoginDialog || !LoginDialog(name, password)) {
        Terminate();
        return;
    }
    name = UpperAsciiLetters(name);
    password = UpperAsciiLetters(password);
    TCloseIfOpened open(*ffUzivatele, TCloseIfOpened::OpenNow);
    if (!FindUser(*ffUzivatele, name)) {
        Terminate();
        return;
    }
    const QString stored = Trim(UpperAsciiLetters(ffUzivatele->FieldByName(u"USR_PSW"_s).AsString()));
    if (stored != Trim(password)) {
        ShowMessage(u"Neplatné heslo !!!"_s);
        Terminate();
        return;
    }
    TakeOperator(*ffUzivatele);
}

void TData::TakeOperator(TTable& users)
{
    UzivatelNac = users.FieldByName(u"USR_NAC"_s).AsString();
    UzivatelIni = users.FieldByName(u"USR_INI"_s).AsString();
    UzivatelKod = users.FieldByName(u"USR_KOD"_s).AsString();
    UzivatelGrp = users.FieldByName(u"USR_GRP"_s).AsString();
    SetLogOperator(UzivatelNac);
}
