#include "Filter.h"

#include "Database.h"
#include "DbError.h"

using namespace Qt::StringLiterals;

namespace {

enum class Tok { End, Ident, String, Number, Op, LParen, RParen, And, Or, Not };

struct Token {
    Tok kind = Tok::End;
    QString text;
    double number = 0;
};

class Parser {
public:
    Parser(const QString& s, const TTableDef& def) : m_s(s), m_def(def) { Advance(); }

    TParsedFilter Run()
    {
        TParsedFilter out;
        out.sql = Or(out);
        if (m_tok.kind != Tok::End)
            Fail(u"neočekávaný text \"%1\""_s.arg(m_tok.text));
        return out;
    }

private:
    [[noreturn]] void Fail(const QString& why) const
    {
        throw EDatabaseError(u"Chybný filtr \"%1\": %2"_s.arg(m_s, why));
    }

    void Advance()
    {
        while (m_pos < m_s.size() && m_s[m_pos].isSpace())
            ++m_pos;
        m_tok = Token{};
        if (m_pos >= m_s.size())
            return;
        const QChar c = m_s[m_pos];
        if (c == u'\'') {
            QString text;
            ++m_pos;
            for (;;) {
                if (m_pos >= m_s.size())
                    Fail(u"neukončený řetězec"_s);
                if (m_s[m_pos] == u'\'') {
                    if (m_pos + 1 < m_s.size() && m_s[m_pos + 1] == u'\'') {
                        text += u'\'';
                        m_pos += 2;
                        continue;
                    }
                    ++m_pos;
                    break;
                }
                text += m_s[m_pos++];
            }
            m_tok = {Tok::String, text, 0};
            return;
        }
        if (c.isDigit() || ((c == u'-' || c == u'.') && m_pos + 1 < m_s.size() && m_s[m_pos + 1].isDigit())) {
            const int start = m_pos++;
            while (m_pos < m_s.size() && (m_s[m_pos].isDigit() || m_s[m_pos] == u'.'))
                ++m_pos;
            const QString text = m_s.mid(start, m_pos - start);
            bool ok = false;
            const double d = text.toDouble(&ok);
            if (!ok)
                Fail(u"chybné číslo %1"_s.arg(text));
            m_tok = {Tok::Number, text, d};
            return;
        }
        if (c.isLetter() || c == u'_') {
            const int start = m_pos;
            while (m_pos < m_s.size() && (m_s[m_pos].isLetterOrNumber() || m_s[m_pos] == u'_'))
                ++m_pos;
            const QString word = m_s.mid(start, m_pos - start);
            const QString up = word.toUpper();
            Tok k = Tok::Ident;
            if (up == u"AND"_s)
                k = Tok::And;
            else if (up == u"OR"_s)
                k = Tok::Or;
            else if (up == u"NOT"_s)
                k = Tok::Not;
            m_tok = {k, word, 0};
            return;
        }
        if (c == u'[') {  // [Field Name]
            const int end = m_s.indexOf(u']', m_pos);
            if (end < 0)
                Fail(u"chybí ]"_s);
            m_tok = {Tok::Ident, m_s.mid(m_pos + 1, end - m_pos - 1), 0};
            m_pos = end + 1;
            return;
        }
        if (c == u'(' || c == u')') {
            m_tok = {c == u'(' ? Tok::LParen : Tok::RParen, QString(c), 0};
            ++m_pos;
            return;
        }
        for (const auto op : {u"<>", u"<=", u">=", u"!=", u"=", u"<", u">"}) {
            const QString o = QString::fromUtf16(op);
            if (m_s.mid(m_pos, o.size()) == o) {
                m_tok = {Tok::Op, o == u"!="_s ? u"<>"_s : o, 0};
                m_pos += int(o.size());
                return;
            }
        }
        Fail(u"neznámý znak '%1'"_s.arg(c));
    }

    QString Or(TParsedFilter& out)
    {
        QString sql = And(out);
        while (m_tok.kind == Tok::Or) {
            Advance();
            sql = u"(%1 OR %2)"_s.arg(sql, And(out));
        }
        return sql;
    }

    QString And(TParsedFilter& out)
    {
        QString sql = Not(out);
        while (m_tok.kind == Tok::And) {
            Advance();
            sql = u"(%1 AND %2)"_s.arg(sql, Not(out));
        }
        return sql;
    }

    // Brackets and NOT nest by recursion; a bound keeps a hostile filter from exhausting the stack.
    static constexpr int kMaxDepth = 64;

    struct Nesting {
        explicit Nesting(Parser& p) : parser(p)
        {
            if (++parser.m_depth > kMaxDepth)
                parser.Fail(u"příliš mnoho vnořených závorek (nejvýše %1)"_s.arg(kMaxDepth));
        }
        ~Nesting() { --parser.m_depth; }
        Nesting(const Nesting&) = delete;
        Nesting& operator=(const Nesting&) = delete;
        Parser& parser;
    };

    QString Not(TParsedFilter& out)
    {
        if (m_tok.kind == Tok::Not) {
            const Nesting nesting(*this);
            Advance();
            return u"(NOT %1)"_s.arg(Not(out));
        }
        return Primary(out);
    }

    struct Operand {
        const TFieldDef* field = nullptr;
        QVariant literal;
    };

    Operand ReadOperand()
    {
        Operand o;
        if (m_tok.kind == Tok::Ident) {
            o.field = m_def.Field(m_tok.text);
            if (!o.field || o.field->calculated)
                Fail(u"neznámé pole %1"_s.arg(m_tok.text));
        } else if (m_tok.kind == Tok::String) {
            o.literal = m_tok.text;
        } else if (m_tok.kind == Tok::Number) {
            o.literal = m_tok.number;
        } else {
            Fail(u"očekáváno pole nebo hodnota"_s);
        }
        Advance();
        return o;
    }

    QString Primary(TParsedFilter& out)
    {
        if (m_tok.kind == Tok::LParen) {
            const Nesting nesting(*this);
            Advance();
            const QString inner = Or(out);
            if (m_tok.kind != Tok::RParen)
                Fail(u"chybí )"_s);
            Advance();
            return inner;
        }
        const Operand left = ReadOperand();
        if (m_tok.kind != Tok::Op)
            Fail(u"očekáván operátor porovnání"_s);
        const QString op = m_tok.text;
        Advance();
        const Operand right = ReadOperand();
        if (!left.field && !right.field)
            Fail(u"porovnání dvou hodnot"_s);
        QList<TFilterParam> params;
        auto side = [&](const Operand& o, const Operand& other) -> QString {
            if (o.field)
                return TDatabase::Quote(o.field->name);
            params.append({other.field, o.literal});
            return u"?"_s;
        };
        const QString lhs = side(left, right);
        const QString rhs = side(right, left);
        const QString sql = u"(%1 %2 %3)"_s.arg(lhs, op, rhs);
        out.params += params;
        return sql;
    }

    const QString m_s;
    const TTableDef& m_def;
    int m_pos = 0;
    int m_depth = 0;
    Token m_tok;
};

}  // namespace

TParsedFilter ParseFilter(const QString& expression, const TTableDef& def)
{
    if (expression.trimmed().isEmpty())
        return {};
    return Parser(expression, def).Run();
}
