// The base below the engines: the transaction and savepoint guards on both stores, and the program's
// log file (lines with time and operator, the size cap).
#include "TestSupport.h"

#include "ProgramLog.h"
#include "Transaction.h"

#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QRegularExpression>
#include <QTemporaryDir>

using namespace Qt::StringLiterals;

namespace {

Q_LOGGING_CATEGORY(lcTest, "korvanta.test")

class GuardTest : public StoreTest {
protected:
    void SetUp() override
    {
        StoreTest::SetUp();
        if (IsSkipped())
            return;
        db().ExecDirect(u"CREATE TABLE kv_guard (n INTEGER PRIMARY KEY)"_s);
    }
    TDatabase& db() { return store->Db(); }
    void Insert(int n) { db().ExecDirect(u"INSERT INTO kv_guard (n) VALUES (%1)"_s.arg(n)); }
    QList<int> Stored()
    {
        QList<int> values;
        for (const QVector<QVariant>& row : db().SelectRows(u"SELECT n FROM kv_guard ORDER BY n"_s, {}))
            values << row.value(0).toInt();
        return values;
    }
};

TEST_P(GuardTest, TransactionCommitsOnlyWhenToldAndRollsBackOtherwise)
{
    {
        TTransaction tx(db());
        Insert(1);
        tx.Commit();
    }
    {
        TTransaction tx(db());
        Insert(2);
    }  // left without a commit
    try {
        TTransaction tx(db());
        Insert(3);
        Insert(1);  // duplicate key
        tx.Commit();
        ADD_FAILURE() << "the duplicate key was accepted";
    } catch (const EDatabaseError&) {}
    EXPECT_FALSE(db().InTransaction());
    EXPECT_EQ(Stored(), QList<int>{1});

    // A joined guard leaves commit and rollback to the owner.
    {
        TTransaction outer(db());
        Insert(4);
        {
            TTransaction joined(db(), TTransaction::JoinOpen);
            EXPECT_FALSE(joined.Owned());
            Insert(5);
            joined.Commit();
            EXPECT_TRUE(db().InTransaction());
        }
        EXPECT_TRUE(db().InTransaction()) << "a joined guard does not roll back either";
        outer.Rollback();
        EXPECT_FALSE(db().InTransaction());
    }
    EXPECT_EQ(Stored(), QList<int>{1});
    EXPECT_THROW(
        {
            TTransaction a(db());
            TTransaction b(db());
        },
        EDatabaseError)
        << "no nested start";
    EXPECT_FALSE(db().InTransaction());
}

TEST_P(GuardTest, SavepointUndoesAFailedStatementAndTheTransactionGoesOn)
{
    TTransaction tx(db());
    Insert(1);
    {
        TSavepoint sp(db(), u"kv_test"_s);
        EXPECT_THROW(Insert(1), EDatabaseError);
        sp.Rollback();
    }
    {
        TSavepoint sp(db(), u"kv_test"_s);
        Insert(2);
        sp.Release();
    }
    {
        TSavepoint sp(db(), u"kv_test"_s);
        Insert(3);
    }  // neither released nor rolled back: undone
    Insert(4);
    tx.Commit();
    EXPECT_EQ(Stored(), (QList<int>{1, 2, 4}));
}

KV_INSTANTIATE_STORES(GuardTest);

QStringList LogLines(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    return QString::fromUtf8(f.readAll()).split(u'\n', Qt::SkipEmptyParts);
}

TEST(ProgramLog, WarningsGoToTheFileWithTimeAndOperatorAndTheFileStaysCapped)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    constexpr qint64 kLimit = 4096;
    {
        const TProgramLog log(dir.path(), kLimit);
        SetLogOperator(u"Nováková"_s);
        qCDebug(lcTest) << "not for the file";
        qCInfo(lcTest) << "neither";
        qCWarning(lcTest).noquote() << "pokladna nedostupná";
        qCCritical(lcTest).noquote() << "chyba";
        const QStringList lines = LogLines(log.FilePath());
        ASSERT_EQ(lines.size(), 2) << lines.join(u'\n').toStdString();
        const QRegularExpression form(
            u"^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d \\[Nováková\\] korvanta\\.test warning: pokladna nedostupná$"_s);
        EXPECT_TRUE(form.match(lines[0]).hasMatch()) << lines[0].toStdString();
        EXPECT_TRUE(lines[1].endsWith(u"korvanta.test error: chyba"_s)) << lines[1].toStdString();

        for (int i = 0; i < 500; ++i)
            qCWarning(lcTest) << "line" << i;
        const QFileInfo current(log.FilePath()), older(log.FilePath() + u".1"_s);
        EXPECT_TRUE(older.exists());
        EXPECT_LT(current.size(), kLimit + 200);
        EXPECT_LT(older.size(), kLimit + 200);
        EXPECT_TRUE(LogLines(log.FilePath()).constLast().contains(u"line 499"_s));
    }
    // Gone with its object: nothing more is written.
    const qint64 size = QFileInfo(dir.filePath(u"korvanta.log"_s)).size();
    qCWarning(lcTest) << "after the log";
    EXPECT_EQ(QFileInfo(dir.filePath(u"korvanta.log"_s)).size(), size);
    SetLogOperator(QString());
}

}  // namespace
