#include "DataUnit.h"

#include "Messages.h"

#include <QLocale>

using namespace Qt::StringLiterals;

namespace {

constexpr int kLoginNameSize = 10;

// Removes leading and trailing characters with a code of 32 or less.
QString TrimControls(const QString& s)
{
    qsizetype b = 0, e = s.size();
    while (b < e && s[b].unicode() <= 32)
        ++b;
    while (e > b && s[e - 1].unicode() <= 32)
        --e;
    return s.mid(b, e - b);
}

// Leaves the users table as it was found: closed again when sign-on opened it.
class TUsersOpen {
public:
    explicit TUsersOpen(TTable& t) : m_table(t), m_wasOpen(t.Active())
    {
        if (!m_wasOpen)
            m_table.Open();
    }
    ~TUsersOpen()
    {
        if (!m_wasOpen)
            m_table.Close();
    }
    TUsersOpen(const TUsersOpen&) = delete;
    TUsersOpen& operator=(const TUsersOpen&) = delete;

private:
    TTable& m_table;
    bool m_wasOpen;
};

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
    return QLocale().toUpper(TrimControls(osUserName).left(kLoginNameSize));
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
    } catch (const std::exception&) {}
}

bool TData::AutoSignOn()
{
    const QString name = AutoLoginName(OsUserName());
    TUsersOpen open(*ffUzivatele);
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
    TUsersOpen open(*ffUzivatele);
    if (!FindUser(*ffUzivatele, name)) {
        Terminate();
        return;
    }
    const QString stored = TrimControls(UpperAsciiLetters(ffUzivatele->FieldByName(u"USR_PSW"_s).AsString()));
    if (stored != TrimControls(password)) {
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
}
