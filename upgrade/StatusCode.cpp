#include "StatusCode.h"

bool StatusCode::isFinal(const QString &text)
{
    QString code = text.section(QLatin1Char(':'), 0, 0).trimmed();
    while (code.startsWith(QLatin1Char('0')))
        code.remove(0, 1);
    return code.isEmpty() || code == QLatin1String("1") || code == QLatin1String("2");
}
