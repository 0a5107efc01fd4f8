#include "StatusCode.h"

#include <QLocale>

namespace {

// Number() of a text without its surrounding blanks; NaN stands as -1 here, as
// the callers only tell 0, 1 and 2 apart.
double numberOf(const QString &text)
{
    if (text.isEmpty())
        return 0;
    const QString lower = text.toLower();
    for (const auto &prefix : {qMakePair(QStringLiteral("0x"), 16), qMakePair(QStringLiteral("0o"), 8),
                               qMakePair(QStringLiteral("0b"), 2)}) {
        if (!lower.startsWith(prefix.first))
            continue;
        bool ok = false;
        const qulonglong value = text.mid(2).toULongLong(&ok, prefix.second);
        return ok && !text.mid(2).startsWith(QLatin1Char('+')) && !text.mid(2).startsWith(QLatin1Char('-'))
                ? double(value) : -1;
    }
    // Decimal only: letters such as "inf" or "nan" are no JavaScript numbers.
    for (const QChar c : text) {
        if (!c.isDigit() && c != QLatin1Char('.') && c != QLatin1Char('e') && c != QLatin1Char('E')
            && c != QLatin1Char('+') && c != QLatin1Char('-'))
            return -1;
    }
    bool ok = false;
    const double value = QLocale::c().toDouble(text, &ok);
    return ok ? value : -1;
}

// The white space JavaScript trims: Unicode spaces and line ends, and the BOM.
QString trimmedAsScript(const QString &text)
{
    int begin = 0;
    int end = text.size();
    const auto blank = [](QChar c) { return c.isSpace() || c == QChar(0xFEFF); };
    while (begin < end && blank(text.at(begin)))
        ++begin;
    while (end > begin && blank(text.at(end - 1)))
        --end;
    return text.mid(begin, end - begin);
}

}

bool StatusCode::isFinal(const QString &text)
{
    const double code = numberOf(trimmedAsScript(text.section(QLatin1Char(':'), 0, 0)));
    return code == 0 || code == 1 || code == 2;
}
